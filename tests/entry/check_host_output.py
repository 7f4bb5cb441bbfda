#!/usr/bin/env python3
"""The support tools print the system's texts (GBK bytes) readably: to a pipe
as UTF-8 and with --raw as the GBK bytes themselves; on a Windows console as
the console's own characters, whatever its code page.

    check_host_output.py HOST STORE SAMPLE_CONFIG_DIR STORE_FORMAT_H
                         [--console PROBE] [EMULATOR]

HOST runs `config` over the sample configuration, whose User is "张三" in GBK,
copied into a folder named "张三" (a non-ASCII path given on the command line
comes back as the same characters); STORE runs `dump` and `check` over a
warning store in that folder this script encrypts (with the key read from
STORE_FORMAT_H) holding two of the library's event texts.
Without --console, both print to a pipe. With --console (Windows builds, under
Wine), PROBE runs each on a console of its own set to code page 437, which has
no Chinese characters, and gives back what the console shows; exit 77 (skip)
when no console can be had.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

RECORDS = [
    "WS-1|2026-01-02 03:04:05|插入了非涉密优盘 (盘符:e ，序列号:SN-1 ，VID:0781，PID:5567 )|1|",
    "WS-2|2026-01-02 03:04:09|打开涉密优盘(盘符:f，序列号:SN-2，责任人:张三)成功。|2|",
]
USER_LINE = "KOLMERA.cfg User=张三"


def write_store(path, header):
    """A warning store as the library writes it: AES-128-CBC, zero IV."""
    text = open(header, encoding="utf-8").read()
    key = re.search(r"kStoreKey = \{([^}]*)\}", text).group(1)
    key = "".join("%02x" % int(b, 16) for b in re.findall(r"0x[0-9a-fA-F]{2}", key))
    plain = "".join(r + "," for r in RECORDS).encode("gbk")
    store = subprocess.run(["openssl", "enc", "-aes-128-cbc", "-K", key, "-iv", "0" * 32],
                           input=plain, capture_output=True, check=True).stdout
    open(path, "wb").write(store)


def piped(emulator, host_cmd, dump_cmd, check_cmd, host_dir, store):
    """Faults of the tools' output to a pipe, default and --raw."""
    faults = []

    def out(cmd):
        p = subprocess.run(emulator + cmd, capture_output=True, timeout=120)
        if p.returncode != 0:
            faults.append("%s: exit %d %r" % (" ".join(cmd[1:]), p.returncode, p.stderr))
        return p.stdout.replace(b"\r\n", b"\n")

    plain = out(host_cmd)
    raw = out(host_cmd[:1] + ["--raw"] + host_cmd[1:])
    if USER_LINE.encode("utf-8") not in plain:
        faults.append("the host's default output is not UTF-8: %r" % plain)
    if ("HostDirectory=" + host_dir).encode("utf-8") not in plain:
        faults.append("the host directory given is not shown as given: %r" % plain)
    if USER_LINE.encode("gbk") not in raw:
        faults.append("the host's --raw output is not the GBK bytes: %r" % raw)
    if plain.replace("张三".encode("utf-8"), b"") != raw.replace("张三".encode("gbk"), b""):
        faults.append("the host's two outputs differ beyond the text")
    for encoding, extra in (("utf-8", []), ("gbk", ["--raw"])):
        got = out(dump_cmd + extra)
        want = "".join(r + "\n" for r in RECORDS).encode(encoding)
        if got != want:
            faults.append("dump%s gives %r, not the records in %s" % (" --raw" * bool(extra), got, encoding))
    checked = out(check_cmd)
    if (store + ": ok, 2 records").encode("utf-8") not in checked:
        faults.append("check says %r" % checked)
    return faults


def on_console(emulator, probe, host_cmd, dump_cmd):
    """Faults of the tools' output to a console; None when there is none."""
    faults = []

    def screen(cmd):
        p = subprocess.run(emulator + [probe, "437"] + cmd, capture_output=True, timeout=180)
        if p.returncode == 77:
            print("skipped:", p.stderr.decode(errors="replace").strip())
            return None
        if p.returncode != 0:
            faults.append("%s on a console: exit %d %r" % (cmd[1], p.returncode, p.stderr))
        return p.stdout.decode("utf-8", errors="replace").splitlines()

    rows = screen(host_cmd)
    if rows is None:
        return None
    if USER_LINE not in rows:
        faults.append("the host's console shows %r" % rows)
    rows = screen(dump_cmd) or []
    if rows[:len(RECORDS)] != RECORDS:
        faults.append("the store reader's console shows %r" % rows)
    return faults


def main():
    args = sys.argv[1:]
    host, store_tool, sample, header = args[:4]
    args = args[4:]
    probe = None
    if args[:1] == ["--console"]:
        probe, args = args[1], args[2:]
    emulator = args

    def win(path):  # the Windows programs take Windows paths
        return "Z:" + path.replace("/", "\\") if emulator else path

    with tempfile.TemporaryDirectory(prefix="torvane-output-") as tmp:
        folder = os.path.join(tmp, "张三")
        shutil.copytree(sample, folder)
        store = os.path.join(folder, "info2.sys")
        write_store(store, header)
        host_cmd = [host, "config", "--dir", win(folder)]
        dump_cmd = [store_tool, "dump", win(store)]
        if probe:
            faults = on_console(emulator, probe, host_cmd, dump_cmd)
            if faults is None:
                sys.exit(77)
        else:
            sep = "\\" if emulator else "/"
            faults = piped(emulator, host_cmd, dump_cmd, [store_tool, "check", win(store)],
                           win(folder) + sep, win(store))
    for f in faults:
        print("FAULT:", f)
    print("tool output%s: %s" % (" on a console" if probe else "", "ok" if not faults else "wrong"))
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
