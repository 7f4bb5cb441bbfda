#!/usr/bin/env python3
"""The Wine launcher picks the loader by the program's architecture and, where
32-bit programs are not run, refuses them as skipped without starting them.

    check_launcher.py LAUNCHER PROGRAM.exe
"""
import os
import subprocess
import sys

WINE64, WINE32 = "/usr/lib/wine/wine64", "/usr/lib/wine/wine"


def main():
    launcher, program = sys.argv[1:3]
    with open(program, "rb") as f:
        head = f.read(4096)
    offset = int.from_bytes(head[0x3C:0x40], "little")
    machine = int.from_bytes(head[offset + 4:offset + 6], "little")
    own = {0x8664: WINE64, 0x14C: WINE32}[machine]
    faults = []

    def loader(prog, **env):
        r = subprocess.run([launcher, "--loader", prog], capture_output=True, text=True, timeout=60,
                           env=dict(os.environ, **env))
        return r.returncode, r.stdout.strip(), r.stderr

    # Own architecture, with 32-bit programs allowed (the answer is forced so
    # the check needs no probe of this machine).
    for prog, want in ((program, own), ("reg", WINE64), (__file__, WINE64)):
        rc, out, err = loader(prog, TORVANE_RUNS_32BIT="yes", TORVANE_SKIP_32BIT="")
        if rc != 0 or out != want:
            faults.append(f"{prog}: loader {out!r} (exit {rc}, {err.strip()!r}), want {want}")

    # 32-bit programs not run: an x86 program is skipped (exit 77) and named,
    # an x64 program starts as before, whichever way the skip was asked for.
    for env in ({"TORVANE_SKIP_32BIT": "1"}, {"TORVANE_RUNS_32BIT": "no", "TORVANE_SKIP_32BIT": ""}):
        rc, out, err = loader(program, **env)
        if own == WINE32:
            if rc != 77 or out or "skipped" not in err or program not in err:
                faults.append(f"x86 program with {env}: exit {rc}, {out!r}, {err.strip()!r}")
        elif rc != 0 or out != WINE64:
            faults.append(f"x64 program with {env}: exit {rc}, {out!r}, {err.strip()!r}")

    for fault in faults:
        print("FAIL", fault)
    print(f"{len(faults)} failed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
