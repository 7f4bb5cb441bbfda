#!/usr/bin/env python3
"""Which registry view a Windows build writes "check" to, under Wine: the
x64 build's host stores an event (no server configured) and the value must
appear, with the store's size, in HKLM\\SOFTWARE\\Ferrowan; the x86 build's
must appear in HKLM\\SOFTWARE\\Wow6432Node\\Ferrowan, and each time the other
view must hold none.

    check_registry_view.py HOST_EXE ARCH
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Windows programs start through the project's launcher, which picks Wine's
# loader by the program's architecture.
WINE = os.environ.get("TORVANE_WINE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-exec")

VIEWS = {"x64": r"HKLM\Software\Ferrowan", "x86": r"HKLM\Software\Wow6432Node\Ferrowan"}


def reg(*args):
    # Both keys as the 64-bit registry lays them out, whichever reg.exe runs.
    return subprocess.run([WINE, "reg"] + list(args) + ["/reg:64"], capture_output=True, timeout=120)


def value(key):
    out = reg("query", key, "/v", "check")
    m = re.search(rb"check\s+REG_DWORD\s+0x([0-9a-fA-F]+)", out.stdout)
    return int(m.group(1), 16) if m else None


def main():
    host, arch = sys.argv[1:]
    faults = []
    work = tempfile.mkdtemp(prefix="torvane-regview-")
    try:
        for key in VIEWS.values():
            reg("delete", key, "/v", "check", "/f")
        with open(os.path.join(work, "kolMera2.ini"), "wb") as f:
            f.write(b"[KOLMERA]\r\nreg=1\r\nWebAddress=\r\n")
        out = subprocess.run([WINE, host, "report", "--dir", "Z:" + work.replace("/", "\\"), "view check"],
                             capture_output=True, timeout=120)
        store = os.path.join(work, "info2.sys")
        if not os.path.exists(store):
            faults.append("no store written: %r" % out.stdout)
        else:
            size = os.path.getsize(store)
            for view, key in VIEWS.items():
                got = value(key)
                want = size if view == arch else None
                if got != want:
                    faults.append("%s holds %r, not %r" % (key, got, want))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in faults:
        print("FAULT:", f)
    print("the %s build writes check to %s: %s" % (arch, VIEWS[arch], "yes" if not faults else "NO"))
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
