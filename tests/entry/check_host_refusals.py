#!/usr/bin/env python3
"""`torvane-host run` refuses what it cannot do with a message and a non-zero
exit, never a crash: a host folder without the library, with a script fed
to it (whose feeding and transcript threads once used the pipes the exit
had already freed, and crashed or hung), run many times since the fault was
a race; and a --seconds past its bound (once a deadline that overflowed and
stopped at once).

    check_host_refusals.py HOST
"""
import os
import subprocess
import sys
import tempfile

RUNS = 20


def main():
    host = sys.argv[1]
    faults = []
    with tempfile.TemporaryDirectory(prefix="torvane-refusals-") as tmp:
        empty = os.path.join(tmp, "no-library")
        os.makedirs(empty)
        script = os.path.join(tmp, "script")
        # Long enough that the feeding thread is still writing while the
        # host leaves.
        with open(script, "w") as f:
            f.write("wait 1\n" * 5000)
        for n in range(RUNS):
            try:
                p = subprocess.run([host, "run", "--dir", empty, "--script", script, "--timestamps"],
                                   capture_output=True, timeout=30)
            except subprocess.TimeoutExpired:
                faults.append("run %d without a library did not end within 30 s" % (n + 1))
                break
            err = p.stderr.decode(errors="replace")
            if p.returncode != 1 or "cannot load" not in err or "Sanitizer" in err:
                faults.append("run %d without a library: exit %d, %r" % (n + 1, p.returncode, err[-2000:]))
                break
        for value, ok in (("9223372037", False), ("315360001", False), ("-5", False), ("12x", False),
                          ("315360000", True)):
            p = subprocess.run([host, "run", "--dir", empty, "--seconds", value], capture_output=True, timeout=60)
            err = p.stderr.decode(errors="replace")
            said = "--seconds takes a whole number from 1 to 315360000" in err
            if ok and (p.returncode != 1 or said):
                faults.append("--seconds %s refused: exit %d, %r" % (value, p.returncode, err))
            if not ok and (p.returncode != 2 or not said):
                faults.append("--seconds %s: exit %d, %r" % (value, p.returncode, err))
    for f in faults:
        print("FAULT:", f)
    print("host refusals: %s" % ("ok" if not faults else "wrong"))
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
