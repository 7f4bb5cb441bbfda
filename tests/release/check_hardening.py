#!/usr/bin/env python3
"""The exploit mitigations of the shipped Windows binaries, read from their PE
headers, sections, code and COFF symbols without running them.

    check_hardening.py BINARY...

Takes the binaries as built (the release strips their symbols; headers and
code are the same). Prints one line per rule and binary, and fails (exit 1)
on any miss:

- aslr          DYNAMIC_BASE, with a relocation table to move the image by
- high-entropy  HIGH_ENTROPY_VA and an image base above 4 GiB (x64 only)
- dep           NX_COMPAT
- no-wx         no section both writable and executable
- no-shared     no section both writable and shared
- seh           x86 only: NO_SEH (GNU ld writes no SafeSEH table), and no
                code in the image that puts a handler on the SEH chain (a
                write to fs:[0]), so the flag tells the truth
- stack-guard   GCC's stack protector linked into the image (__stack_chk_fail
                and __stack_chk_guard defined), not imported from a DLL
- fortify       the checked functions of _FORTIFY_SOURCE linked in (__*_chk)

Control Flow Guard and CET shadow stack compatibility are not checked: GCC's
PE back end cannot produce them (see docs/operator.md).
"""
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "release"))
from pe_image import PeImage  # noqa: E402
from verdict import conclude  # noqa: E402

HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT, NO_SEH = 0x20, 0x40, 0x100, 0x400
RELOCS_STRIPPED = 0x1
SCN_SHARED, SCN_EXECUTE, SCN_WRITE = 0x10000000, 0x20000000, 0x80000000
BASE_RELOCATIONS, LOAD_CONFIG = 5, 10
I386 = 0x14C

# Instructions that write the head of the x86 SEH chain, fs:[0]:
# mov fs:[0],eax | mov fs:[0],r32 | pop dword fs:[0] | mov dword fs:[0],imm32.
SEH_WRITE = re.compile(rb"\x64(?:\xA3\x00\x00\x00\x00|\x89[\x05\x0D\x15\x1D\x25\x2D\x35\x3D]\x00\x00\x00\x00"
                       rb"|\x8F\x05\x00\x00\x00\x00|\xC7\x05\x00\x00\x00\x00)")


def section_flags(pe):
    opt_size = struct.unpack_from("<H", pe.data, pe.pe + 20)[0]
    out = []
    for i, (name, _, _, raw, rawsize) in enumerate(pe.sections):
        at = pe.opt + opt_size + 40 * i
        out.append((name, struct.unpack_from("<I", pe.data, at + 36)[0], raw, rawsize))
    return out


def symbols(pe):
    """Names of the COFF symbols defined in the image (x86 names lose their
    leading underscore)."""
    table, count = struct.unpack_from("<II", pe.data, pe.pe + 12)
    if not table or not count:
        return set()
    strings = table + 18 * count
    names, i = set(), 0
    while i < count:
        at = table + 18 * i
        raw = pe.data[at:at + 8]
        if raw[:4] == b"\0\0\0\0":
            o = strings + struct.unpack_from("<I", raw, 4)[0]
            name = pe.data[o:pe.data.index(b"\0", o)]
        else:
            name = raw.rstrip(b"\0")
        section = struct.unpack_from("<h", pe.data, at + 12)[0]
        if section > 0:
            name = name.decode("latin-1")
            names.add(name[1:] if pe.machine == I386 and name.startswith("_") else name)
        i += 1 + pe.data[at + 17]
    return names


def rules(path):
    with open(path, "rb") as f:
        pe = PeImage(f.read())
    x86 = pe.machine == I386
    dll_chars = struct.unpack_from("<H", pe.data, pe.opt + 70)[0]
    file_chars = struct.unpack_from("<H", pe.data, pe.pe + 22)[0]
    base = struct.unpack_from("<I" if not pe.pe32plus else "<Q", pe.data, pe.opt + (28 if not pe.pe32plus else 24))[0]
    sections = section_flags(pe)
    names = symbols(pe)
    imports = pe.imports()
    result = []

    def rule(name, ok, why):
        result.append((name, ok, why))

    relocs = pe.dirs[BASE_RELOCATIONS][1] > 0 and not file_chars & RELOCS_STRIPPED
    rule("aslr", bool(dll_chars & DYNAMIC_BASE) and relocs,
         "DYNAMIC_BASE %s, relocations %s" % (bool(dll_chars & DYNAMIC_BASE), relocs))
    if not x86:
        rule("high-entropy", bool(dll_chars & HIGH_ENTROPY_VA) and base > 0xFFFFFFFF,
             "HIGH_ENTROPY_VA %s, image base 0x%x" % (bool(dll_chars & HIGH_ENTROPY_VA), base))
    rule("dep", bool(dll_chars & NX_COMPAT), "NX_COMPAT %s" % bool(dll_chars & NX_COMPAT))
    wx = [n for n, c, _, _ in sections if c & SCN_WRITE and c & SCN_EXECUTE]
    rule("no-wx", not wx, "writable and executable: %s" % (", ".join(wx) or "none"))
    shared = [n for n, c, _, _ in sections if c & SCN_WRITE and c & SCN_SHARED]
    rule("no-shared", not shared, "writable and shared: %s" % (", ".join(shared) or "none"))
    if x86:
        writes = []
        for n, c, raw, rawsize in sections:
            if c & SCN_EXECUTE:
                writes += ["%s+0x%x" % (n, m.start()) for m in SEH_WRITE.finditer(pe.data, raw, raw + rawsize)]
        table = 0
        if pe.dirs[LOAD_CONFIG][0]:
            o = pe.off(pe.dirs[LOAD_CONFIG][0])
            if struct.unpack_from("<I", pe.data, o)[0] >= 72:
                table = struct.unpack_from("<I", pe.data, o + 68)[0]
        no_seh = bool(dll_chars & NO_SEH)
        rule("seh", (no_seh and not writes) or table > 0,
             "NO_SEH %s, SafeSEH handlers %d, writes to fs:[0] %s" % (no_seh, table, ", ".join(writes) or "none"))
    ssp_dlls = [d for d in imports if "ssp" in d]
    guard = {"__stack_chk_fail", "__stack_chk_guard"} <= names
    rule("stack-guard", guard and not ssp_dlls,
         "__stack_chk_fail/__stack_chk_guard %s, ssp DLL imported %s" % (
             "defined" if guard else "missing", ", ".join(ssp_dlls) or "none"))
    checked = sorted(n for n in names if (n.startswith("__") and n.endswith("_chk")) or n == "__chk_fail")
    rule("fortify", bool(checked), "checked functions: %s" % (", ".join(checked[:6]) or "none"))
    if not names:
        result.append(("symbols", False, "no COFF symbol table: give the binaries as built, not stripped"))
    return result


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    faults = []
    for path in sys.argv[1:]:
        name = os.path.basename(path)
        for rule, ok, why in rules(path):
            print("%-18s %-13s %s  (%s)" % (name, rule, "ok  " if ok else "MISS", why))
            if not ok:
                faults.append("%s: %s: %s" % (name, rule, why))
    conclude("hardening", faults)


if __name__ == "__main__":
    main()
