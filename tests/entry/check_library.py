#!/usr/bin/env python3
"""Checks what the shipped library exports and imports, and its version.

    check_library.py pe PATH NAME@ORDINAL...   a Windows DLL, read from its PE
                                               export and import directories
    check_library.py elf NM PATH NAME...       a shared object, through nm -D
    check_library.py version PATH X.Y.Z        a DLL's version resource

Fails (exit 1, one line per fault) on a missing export, a wrong ordinal, a
decorated name (_DoWork@4), any export not named, or, for a DLL, an import
from anything but the system's own DLLs.
"""
import re
import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "release"))
from pe_image import PeImage  # noqa: E402

# DLLs every Windows system has; the library may import from these only.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll", "ws2_32.dll",
    "ole32.dll", "oleaut32.dll", "shell32.dll", "comctl32.dll", "crypt32.dll", "bcrypt.dll",
    "ntdll.dll", "rpcrt4.dll", "version.dll", "secur32.dll", "api-ms-win-crt-runtime-l1-1-0.dll",
}


class Pe(PeImage):
    """The release's PE reader, with the export table read too."""

    def exports(self):
        rva, size = self.dirs[0]
        if not rva:
            return {}
        o = self.off(rva)
        base, nfunc, nnames, funcs, names, ords = struct.unpack_from("<IIIIII", self.data, o + 16)
        result = {}
        for i in range(nnames):
            name = self.cstr(struct.unpack_from("<I", self.data, self.off(names) + 4 * i)[0])
            result[name] = base + struct.unpack_from("<H", self.data, self.off(ords) + 2 * i)[0]
        named = set(result.values())
        for i in range(nfunc):  # exports by ordinal only count too
            target = struct.unpack_from("<I", self.data, self.off(funcs) + 4 * i)[0]
            if target and base + i not in named:
                result["#%d" % (base + i)] = base + i
        return result


def check_pe(path, wanted):
    with open(path, "rb") as f:
        pe = Pe(f.read())
    faults = []
    want = {}
    for item in wanted:
        name, ordinal = item.split("@")
        want[name] = int(ordinal)
    got = pe.exports()
    for name, ordinal in want.items():
        if name not in got:
            faults.append("missing export %s" % name)
        elif got[name] != ordinal:
            faults.append("%s has ordinal %d, not %d" % (name, got[name], ordinal))
    for name in sorted(set(got) - set(want)):
        faults.append("unexpected export %s (ordinal %d)" % (name, got[name]))
    for dll in pe.imports():
        if dll.lower() not in SYSTEM_DLLS:
            faults.append("imports %s, not a system DLL" % dll)
    return faults, got


def check_elf(nm, path, wanted):
    out = subprocess.run([nm, "-D", "--defined-only", path], check=True, capture_output=True,
                         text=True).stdout
    got = {}
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[1] in "TtWiDBR":
            got[parts[2].split("@")[0]] = parts[1]
    faults = ["missing export %s" % n for n in wanted if got.get(n) != "T"]
    faults += ["unexpected export %s" % n for n in sorted(set(got) - set(wanted))]
    return faults, got


def check_version(path, version):
    """The fixed file information and the FileVersion text of the resource."""
    with open(path, "rb") as f:
        data = f.read()
    at = data.find("VS_VERSION_INFO".encode("utf-16le"))
    if at < 0:
        return ["no version resource"], {}
    fixed = data.find(struct.pack("<I", 0xFEEF04BD), at)
    if fixed < 0 or fixed - at > 64:
        return ["no fixed file information"], {}
    ms, ls, pms, pls = struct.unpack_from("<IIII", data, fixed + 8)
    got = {"file": "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF),
           "product": "%d.%d.%d.%d" % (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF)}
    faults = ["%s version %s, not %s.0" % (k, v, version) for k, v in got.items() if v != version + ".0"]
    # The key, its NUL, padding to 32 bits, the value and its NUL.
    text = re.compile(re.escape("FileVersion".encode("utf-16le")) + b"\0\0(?:\0\0)?" +
                      re.escape(version.encode("utf-16le")) + b"\0\0")
    if not text.search(data, at):
        faults.append("no FileVersion text %s" % version)
    return faults, got


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "version":
        faults, got = check_version(sys.argv[2], sys.argv[3])
    elif len(sys.argv) >= 4 and sys.argv[1] == "pe":
        faults, got = check_pe(sys.argv[2], sys.argv[3:])
    elif len(sys.argv) >= 5 and sys.argv[1] == "elf":
        faults, got = check_elf(sys.argv[2], sys.argv[3], sys.argv[4:])
    else:
        sys.exit(__doc__)
    print("found:", ", ".join("%s %s" % kv for kv in sorted(got.items())) or "none")
    for f in faults:
        print("FAULT:", f)
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
