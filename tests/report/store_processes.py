#!/usr/bin/env python3
"""Cross-process tests of the warning store, natively or under Wine.

usage: store_processes.py HELPER TOOL
HELPER and TOOL ending in .exe are run with wine (one wineserver, so the
store lock's named mutex is shared between them).

1. four processes append 200 records each at once: the store reader finds all
   800, each once, each process's records in their order;
2. while another process holds the store lock an append waits, leaving the
   store untouched, and lands once the holder lets go;
3. the reader refuses an absent, empty, damaged or foreign file, and prints
   what a cut store still holds; of a store damaged in the middle it prints
   the records the library's salvage keeps.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

# Windows programs start through the project's launcher, which picks Wine's
# loader by the program's architecture.
WINE = os.environ.get("TORVANE_WINE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-exec")

PROCESSES, RECORDS = 4, 200
LOCK_DWELL = 1.5  # seconds an append must stay blocked behind the holder


def dump_lines(out):
    """The lines a dump printed. Only a line feed ends one: a garbled record's
    text may hold characters that str.splitlines() would also split at."""
    text = out.decode("latin-1").replace("\r\n", "\n")
    return text.split("\n")[:-1] if text else []


def read_line(proc, timeout=120):
    """The next line the process writes, or b"" if none comes in time."""
    line = []
    reader = threading.Thread(target=lambda: line.append(proc.stdout.readline()), daemon=True)
    reader.start()
    reader.join(timeout)
    return line[0] if line else b""


def main():
    helper, tool = sys.argv[1], sys.argv[2]
    wine = helper.endswith(".exe")
    tmp = tempfile.mkdtemp(prefix="torvane-store-")
    env = dict(os.environ, TORVANE_STATE_DIR=os.path.join(tmp, "state"))
    failures = []

    def run(prog, *args, **kw):
        cmd = ([WINE] if wine else []) + [prog] + list(args)
        return subprocess.Popen(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)

    def host_path(path):
        return "Z:" + path.replace("/", "\\") if wine else path

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            failures.append(what)

    def tool_run(*args):
        p = run(tool, *args)
        out, err = p.communicate(timeout=120)
        return p.returncode, out, err

    try:
        store = os.path.join(tmp, "info2.sys")
        started = time.monotonic()
        procs = [run(helper, "append", host_path(store), str(n), str(RECORDS)) for n in range(PROCESSES)]
        for n, p in enumerate(procs):
            out, err = p.communicate(timeout=500)
            check(p.returncode == 0, f"appender {n} exit {p.returncode} {err.decode(errors='replace').strip()}")
        print(f"     {PROCESSES}x{RECORDS} appends took {time.monotonic() - started:.1f} s")

        rc, out, err = tool_run("dump", host_path(store))
        check(rc == 0, f"dump exit {rc} {err!r}")
        lines = dump_lines(out)
        check(len(lines) == PROCESSES * RECORDS, f"dump gives {len(lines)} records")
        pattern = re.compile(r"WS-(\d+)\|2026-01-02 03:04:05\|proc \1 rec (\d+), with comma\|2\|$")
        last = {}
        good = True
        seen = set()
        for line in lines:
            m = pattern.match(line)
            if not m or (m.group(1), m.group(2)) in seen:
                good = False
                continue
            seen.add((m.group(1), m.group(2)))
            proc, rec = int(m.group(1)), int(m.group(2))
            if rec != last.get(proc, -1) + 1:
                good = False
            last[proc] = rec
        check(good and len(seen) == PROCESSES * RECORDS, "every record once, in each process's order")

        rc, out, err = tool_run("check", host_path(store))
        check(rc == 0 and f"ok, {PROCESSES * RECORDS} records".encode() in out, f"check: {out!r} {err!r}")

        # The lock held by another process: the append waits for it. Each
        # side says where it is, so nothing rests on how fast processes start:
        # the holder keeps the lock until told, the append is seen to be under
        # way and still unfinished, the store unchanged, while the lock is held.
        holder = run(helper, "hold", stdin=subprocess.PIPE)
        ready = read_line(holder)
        check(ready.strip() == b"held", f"holder ready: {ready!r}")
        before = open(store, "rb").read()
        appender = run(helper, "append", host_path(store), "9", "1")
        said = read_line(appender)
        check(said.strip() == b"appending", f"appender started: {said!r}")
        try:
            appender.wait(timeout=LOCK_DWELL)
        except subprocess.TimeoutExpired:
            pass
        check(appender.poll() is None, "append waits while the lock is held")
        check(open(store, "rb").read() == before, "store untouched while the lock is held")
        holder.stdin.write(b"release\n")
        holder.stdin.close()
        released = read_line(holder)
        check(released.strip() == b"released", f"holder released the lock: {released!r}")
        holder.wait(timeout=120)
        appender.communicate(timeout=120)
        check(appender.returncode == 0, "append after the lock's release succeeded")
        rc, out, _ = tool_run("check", host_path(store))
        check(f"ok, {PROCESSES * RECORDS + 1} records".encode() in out, f"record after the wait: {out!r}")

        # Files the reader must refuse, each with a message and non-zero exit.
        data = open(store, "rb").read()
        cases = {
            "absent": None,
            "empty": b"",
            "damaged": data[:-1],
            "foreign": bytes(range(64)),
            "plain-text": b"WS-1|2026-01-02 03:04:05|text|2|,".ljust(48, b" "),
        }
        # A damaged store: dump still prints the records it can read and says
        # what it could not (exit 3); here only the last record is cut.
        path = os.path.join(tmp, "cut.sys")
        open(path, "wb").write(data[:-5])
        rc, out, err = tool_run("dump", host_path(path))
        salvaged = dump_lines(out)
        check(rc == 3 and b"records salvaged" in err and
              len(salvaged) == PROCESSES * RECORDS and
              salvaged == lines[:PROCESSES * RECORDS],
              f"dump of a cut store: exit {rc}, {len(salvaged)} records, {err!r}")
        # Damaged in the middle and cut short: dump prints the records before
        # and after the damage, and the library's salvage keeps exactly those.
        # The flip garbles its block (over the end of record 399 and the id of
        # record 400) and the same byte of the next, in 400's time stamp.
        stamp = sum(len(line) + 1 for line in lines[:400]) + lines[400].index("|") + 1
        middle = stamp - 16 + 2
        hit = data[:middle] + bytes([data[middle] ^ 0x80]) + data[middle + 1:-5]
        path = os.path.join(tmp, "hit.sys")
        open(path, "wb").write(hit)
        rc, out, err = tool_run("dump", host_path(path))
        printed = dump_lines(out)
        check(rc == 3 and b"records lost" in err and
              len(printed) in (len(lines) - 2, len(lines) - 1) and printed[-1] == lines[-1] and
              lines[401] in printed and lines[400] not in printed,
              f"dump of a store hit in the middle: exit {rc}, {len(printed)} records, {err!r}")
        live = os.path.join(tmp, "live")
        os.mkdir(live)
        shutil.copyfile(path, os.path.join(live, "info2.sys"))
        appender = run(helper, "append", host_path(os.path.join(live, "info2.sys")), "8", "1")
        appender.communicate(timeout=60)
        rc, out, err = tool_run("dump", host_path(os.path.join(live, "info2.sys")))
        kept = dump_lines(out)
        check(rc == 0 and kept[:-1] == printed and kept[-1].startswith("WS-8|"),
              f"salvaged store holds what dump printed: exit {rc}, {len(kept)} records {err!r}")
        for name, content in cases.items():
            path = os.path.join(tmp, name + ".sys")
            if content is not None:
                open(path, "wb").write(content)
            for command in ("dump", "check"):
                rc, out, err = tool_run(command, host_path(path))
                check(rc != 0 and b"torvane-store:" in err, f"{command} {name}: exit {rc}, {err!r}")
    finally:
        shutil.rmtree(tmp, ignore_errors=True)

    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
