"""How each release check ends: its faults listed, one summary line, and the
exit code (1 on any fault)."""
import sys


def conclude(what, faults):
    for f in faults:
        print("FAULT:", f)
    print("%s: %s" % (what, "ok" if not faults else "%d faults" % len(faults)))
    sys.exit(1 if faults else 0)
