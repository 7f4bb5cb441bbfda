#!/usr/bin/env python3
"""torvane-host prints the system's texts readably on a UTF-8 terminal by
default and their GBK bytes with --raw: `config` over the sample
configuration, whose User is "张三" in GBK.

    check_host_output.py HOST SAMPLE_CONFIG_DIR [EMULATOR]
"""
import subprocess
import sys


def main():
    host, sample = sys.argv[1:3]
    run = sys.argv[3:] + [host]
    if sys.argv[3:]:  # the Windows program takes a Windows path
        sample = "Z:" + sample.replace("/", "\\")
    faults = []
    plain = subprocess.run(run + ["config", "--dir", sample], capture_output=True, timeout=120).stdout
    raw = subprocess.run(run + ["--raw", "config", "--dir", sample], capture_output=True, timeout=120).stdout
    if "KOLMERA.cfg User=张三".encode("utf-8") not in plain:
        faults.append("default output is not UTF-8: %r" % plain)
    if "KOLMERA.cfg User=张三".encode("gbk") not in raw:
        faults.append("--raw output is not the GBK bytes: %r" % raw)
    if plain.replace("张三".encode("utf-8"), b"") != raw.replace("张三".encode("gbk"), b""):
        faults.append("the two outputs differ beyond the text")
    for f in faults:
        print("FAULT:", f)
    print("host output: %s" % ("ok" if not faults else "wrong"))
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
