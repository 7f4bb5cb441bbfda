#!/usr/bin/env python3
"""`torvane-host config` says where each value comes from, and prints the
values themselves as the library reads them: over a folder such as a
support engineer meets, with a KOLMERA.cfg whose section and one key are
spelt in another case and whose User an editor saved as UTF-8, no id.cfg,
and the registration file named in capitals; and a KOLMERA.cfg an editor
saved as UTF-8 with a byte order mark before its section.

    check_host_config.py HOST [EMULATOR...]
"""
import os
import subprocess
import sys
import tempfile


def main():
    host, emulator = sys.argv[1], sys.argv[2:]
    faults = []
    with tempfile.TemporaryDirectory(prefix="torvane-config-") as tmp:
        with open(os.path.join(tmp, "KOLMERA.cfg"), "wb") as f:
            f.write("[kolmera]\r\nUfileAudit=1\r\nuser=张三\r\n".encode("utf-8"))
        with open(os.path.join(tmp, "KOLMERA2.INI"), "wb") as f:
            f.write(b"[KOLMERA]\r\nreg=1\r\nWebAddress=http://127.0.0.1:8080/x\r\n")
        folder = "Z:" + tmp.replace("/", "\\") if emulator else tmp
        p = subprocess.run(emulator + [host, "config", "--dir", folder], capture_output=True, timeout=120)
        out = p.stdout.decode("utf-8", errors="replace").replace("\r\n", "\n").splitlines()
        if p.returncode != 0:
            faults.append("exit %d %r" % (p.returncode, p.stderr))

        def after(line):
            """The notes under a value line; None when the line is not there."""
            if line not in out:
                return None
            notes = []
            for row in out[out.index(line) + 1:]:
                if not row.startswith("  "):
                    break
                notes.append(row.strip())
            return notes

        # UTF-8 bytes of 张三 read as GBK, as the library reads them.
        user = after("KOLMERA.cfg User=" + "张三".encode("utf-8").decode("gbk"))
        if user is None or "key written user; the suite writes User" not in user or \
                not any(n.startswith("not GBK text: its bytes are UTF-8") for n in user):
            faults.append("User: %r" % user)
        if not any("section written [kolmera]" in row for row in out):
            faults.append("the section's case is not noted")
        if after("KOLMERA.cfg GenericUDisk=0") != ["default: no GenericUDisk in [KOLMERA]"]:
            faults.append("GenericUDisk: %r" % after("KOLMERA.cfg GenericUDisk=0"))
        if not any(row.startswith("id.cfg: not found at ") and "every value of id.cfg is the default" in row
                   for row in out):
            faults.append("the missing id.cfg is not noted")
        # A case-keeping file system does not find it; a case-blind one does.
        registration = [row for row in out if row.startswith("kolMera2.ini:")]
        if emulator:
            want = ["kolMera2.ini: named KOLMERA2.INI in the folder; the suite writes kolMera2.ini"]
            if registration[-1:] != want or "kolMera2.ini reg=1" not in out:
                faults.append("kolMera2.ini: %r" % registration)
        elif len(registration) != 1 or "the folder has KOLMERA2.INI, whose name differs in case" not in \
                registration[0] or "kolMera2.ini reg=0" not in out:
            faults.append("kolMera2.ini: %r" % registration)
    with tempfile.TemporaryDirectory(prefix="torvane-config-bom-") as tmp:
        with open(os.path.join(tmp, "KOLMERA.cfg"), "wb") as f:
            f.write("\ufeff[KOLMERA]\r\nUfileAudit=1\r\nUser=张三\r\n".encode("utf-8"))
        folder = "Z:" + tmp.replace("/", "\\") if emulator else tmp
        p = subprocess.run(emulator + [host, "config", "--dir", folder], capture_output=True, timeout=120)
        bom = p.stdout.decode("utf-8", errors="replace").replace("\r\n", "\n").splitlines()
        if not any(row.startswith("KOLMERA.cfg: starts with a UTF-8 byte order mark") for row in bom):
            faults.append("the byte order mark is not noted: %r" % bom)
    for f in faults:
        print("FAULT:", f)
    if faults:
        print("\n".join(out))
    print("config origins: %s" % ("ok" if not faults else "wrong"))
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
