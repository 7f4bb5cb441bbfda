#!/usr/bin/env python3
"""Appending processes killed at random moments lose no finished append.

usage: store_crash.py HELPER TOOL KILLS
HELPER and TOOL ending in .exe are run with wine.

Three processes append without pause. Natively a killer picks one at random,
waits a random 0-60 ms and sends it SIGKILL; under Wine each process ends
itself with TerminateProcess a random 0-800 ms after it started (a signal to
the wine launcher need not reach the Windows process). Each killed process
is started again after the records it reported done, skipping the one it
may have been writing. After KILLS kills one more append lets the store
repair a torn tail from its journal note, and the store must then decrypt
cleanly with every record reported done exactly once, each process's
records in their order, and nothing else missing than the one record in
flight at each kill.
"""
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

# Windows programs start through the project's launcher, which picks Wine's
# loader by the program's architecture.
WINE = os.environ.get("TORVANE_WINE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-exec")

PROCESSES = 3
SELF_END_WAIT = 20  # seconds; an appender dies within a second of its start


class Appender:
    def __init__(self, start_proc, ident):
        self.start_proc = start_proc
        self.ident = ident
        self.done = []        # record numbers whose append returned
        self.in_flight = []   # the record being written at each kill
        self.next = 0
        self.proc = None
        self.reader = None

    def start(self, die_ms=None):
        self.proc = self.start_proc(self.ident, self.next, die_ms)
        self.reader = threading.Thread(target=self._read, args=(self.proc,))
        self.reader.start()

    def _read(self, proc):
        for line in proc.stdout:
            m = re.match(rb"ok (\d+)", line)
            if m:
                self.done.append(int(m.group(1)))

    def kill(self):
        os.kill(self.proc.pid, signal.SIGKILL)
        self.reap()

    def reap(self):
        """Bookkeeping once the process has ended. One that was to end itself
        but is still there after SELF_END_WAIT seconds (seen once under Wine,
        stalling the Wine server for every other program) is killed: that is
        a crash as good as any."""
        try:
            self.proc.wait(timeout=SELF_END_WAIT)
        except subprocess.TimeoutExpired:
            print(f"     appender {self.ident} did not end by itself; killed", flush=True)
            os.kill(self.proc.pid, signal.SIGKILL)
            self.proc.wait(timeout=120)
        self.reader.join(timeout=120)
        last = self.done[-1] if self.done and self.done[-1] >= self.next else self.next - 1
        # The record after the last one done may or may not be in the store.
        self.in_flight.append(last + 1)
        self.next = last + 2


def main():
    helper, tool, kills = sys.argv[1], sys.argv[2], int(sys.argv[3])
    wine = helper.endswith(".exe")
    tmp = tempfile.mkdtemp(prefix="torvane-crash-")
    env = dict(os.environ, TORVANE_STATE_DIR=os.path.join(tmp, "state"))
    store = os.path.join(tmp, "info2.sys")
    host = ("Z:" + store.replace("/", "\\")) if wine else store
    rng = random.Random(int(os.environ.get("TORVANE_CRASH_SEED", "1")))

    def start_proc(ident, first, die_ms):
        cmd = ([WINE] if wine else []) + [helper, "endless", host, str(ident), str(first)]
        if die_ms is not None:
            cmd.append(str(die_ms))
        return subprocess.Popen(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            failures.append(what)

    try:
        appenders = [Appender(start_proc, n) for n in range(PROCESSES)]
        started = time.monotonic()
        done_kills = 0
        if wine:
            def die_ms():
                return rng.randint(0, 800)
            for a in appenders:
                a.start(die_ms())
            while done_kills < kills:
                time.sleep(0.05)
                for a in appenders:
                    if a.proc.poll() is None:
                        continue
                    a.reap()
                    done_kills += 1
                    a.start(die_ms())
            for a in appenders:
                a.reap()
                done_kills += 1
        else:
            for a in appenders:
                a.start()
            for _ in range(kills):
                victim = rng.choice(appenders)
                time.sleep(rng.uniform(0.0, 0.06))
                victim.kill()
                victim.start()
            for a in appenders:
                a.kill()
            done_kills = kills + PROCESSES
        elapsed = time.monotonic() - started

        # One more append repairs the tail torn by the last kills.
        cmd = ([WINE] if wine else []) + [helper, "append", host, "9", "1"]
        check(subprocess.run(cmd, env=env, timeout=120).returncode == 0, "repairing append")
        cmd = ([WINE] if wine else []) + [tool, "dump", host]
        dump = subprocess.run(cmd, env=env, capture_output=True, timeout=120)
        check(dump.returncode == 0, f"store decrypts cleanly: exit {dump.returncode} {dump.stderr!r}")

        pattern = re.compile(r"WS-(\d+)\|2026-01-02 03:04:05\|proc \1 rec (\d+), with comma\|2\|$")
        found = {n: [] for n in range(PROCESSES)}
        stray = 0
        for line in dump.stdout.decode("latin-1").splitlines():
            m = pattern.match(line)
            if m and int(m.group(1)) in found:
                found[int(m.group(1))].append(int(m.group(2)))
            elif not (m and m.group(1) == "9"):
                stray += 1
        check(stray == 0, f"no foreign records ({stray})")
        total_done = total_lost = total_found = 0
        for a in appenders:
            got = found[a.ident]
            total_found += len(got)
            check(got == sorted(set(got)), f"process {a.ident}: each record once, in order")
            done = set(a.done)
            missing_done = done - set(got)
            check(not missing_done, f"process {a.ident}: every finished append kept "
                                    f"(missing {sorted(missing_done)[:10]})")
            expected = set(range(max(done | set(got) | {0}) + 1))
            lost = expected - set(got) - set(a.in_flight)
            check(not lost, f"process {a.ident}: only records in flight at a kill missing ({sorted(lost)[:10]})")
            total_done += len(done)
            total_lost += len(set(a.in_flight) - set(got))
        print(f"     {done_kills} kills in {elapsed:.1f} s, {total_done} appends returned, "
              f"{total_found} records in the store, {total_lost} in-flight records lost")
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
