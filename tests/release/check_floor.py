#!/usr/bin/env python3
"""The Windows floor of the shipped binaries, read from their PE headers and
import tables without running them.

    check_floor.py ALLOWED_LIST BINARY...

Fails (exit 1, one line per fault) on an import not on the allowed list
(tools/release/windows-imports.txt), on an entry of the list newer than
Windows 7, on delay-loaded imports (which the list could not vouch for), and
on OS or subsystem versions in the optional header above 6.1 (the loader of
Windows 7 would refuse the image).
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "release"))
from pe_image import PeImage  # noqa: E402

FLOOR = (6, 1)
VERSIONS = {"2000": (5, 0), "XP": (5, 1), "Vista": (6, 0), "7": (6, 1), "8": (6, 2), "8.1": (6, 3), "10": (10, 0)}
SUBSYSTEMS = {2: "GUI", 3: "console"}


def read_allowed(path):
    allowed, faults = {}, []
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            parts = line.split()
            if len(parts) != 2 or "!" not in parts[0] or parts[1] not in VERSIONS:
                faults.append("%s:%d: not DLL!FUNCTION VERSION: %r" % (path, n, line))
                continue
            if VERSIONS[parts[1]] > FLOOR:
                faults.append("%s:%d: %s needs Windows %s" % (path, n, parts[0], parts[1]))
            allowed[parts[0]] = parts[1]
    return allowed, faults


def check_binary(path, allowed):
    with open(path, "rb") as f:
        pe = PeImage(f.read())
    name = os.path.basename(path)
    faults = []
    for dll, funcs in sorted(pe.imports().items()):
        for func in sorted(funcs):
            if "%s!%s" % (dll, func) not in allowed:
                faults.append("%s imports %s!%s, not on the allowed list" % (name, dll, func))
    if pe.has_delay_imports():
        faults.append("%s has delay-loaded imports" % name)
    for what, version in (("OS", pe.os_version), ("subsystem", pe.subsystem_version)):
        if tuple(version) > FLOOR:
            faults.append("%s: %s version %d.%d is above Windows 7's 6.1" % ((name, what) + tuple(version)))
    if pe.subsystem not in SUBSYSTEMS:
        faults.append("%s: subsystem %d is neither GUI nor console" % (name, pe.subsystem))
    return faults, sum(len(v) for v in pe.imports().values())


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    allowed, faults = read_allowed(sys.argv[1])
    for path in sys.argv[2:]:
        found, count = check_binary(path, allowed)
        faults += found
        print("%s: %d imports" % (os.path.basename(path), count))
    for f in faults:
        print("FAULT:", f)
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
