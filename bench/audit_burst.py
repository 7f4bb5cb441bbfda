#!/usr/bin/env python3
"""A burst of file creates on an audited drive while the management server is
away, through the reference host as the library reports them
(`torvane-host watch DRIVE --report DIR`), natively or under Wine.

    audit_burst.py --host PATH --store-tool PATH [--emulator scripts/wine-exec]
                   [--files 10000] [--server drop|stall|answer]

Prints the files created, the events reported (delivered or stored), the
events lost and any loss report, the records in the store (read back with
`torvane-store check`), and the seconds from the first create to the last
event reported.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from outage_server import management_server, windows_path  # noqa: E402

# "丢失文件事件：" in GBK: the start of the loss report.
LOSS = "丢失文件事件：".encode("gbk")
LETTER = "p"


class Counter:
    def __init__(self, stream):
        self.reported = self.stored = self.losses = 0
        self.last = time.monotonic()
        self.lock = threading.Lock()
        threading.Thread(target=self.read, args=(stream,), daemon=True).start()

    def read(self, stream):
        for line in stream:
            with self.lock:
                if LOSS in line:
                    self.losses += 1
                elif re.search(rb" -> (stored|dropped|delivered)( \(.*\))?$", line.rstrip()):
                    self.reported += 1
                    self.stored += b" -> stored" in line
                self.last = time.monotonic()


def burst(args, work, address):
    host_dir = os.path.join(work, "host")
    drive = os.path.join(work, "drive")
    os.makedirs(host_dir)
    os.makedirs(drive)
    with open(os.path.join(host_dir, "id.cfg"), "wb") as f:
        f.write(b"[KOLMERA]\r\nUID=BURST\r\n")
    with open(os.path.join(host_dir, "kolMera2.ini"), "wb") as f:
        f.write(b"[KOLMERA]\r\nWebAddress=" + address.encode() + b"\r\n")
    env = dict(os.environ)
    env["TORVANE_STATE_DIR"] = os.path.join(work, "state")
    link = None
    if args.emulator:
        prefix = os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine"))
        link = os.path.join(prefix, "dosdevices", LETTER + ":")
        if os.path.lexists(link):
            sys.exit("audit_burst: drive %s: is taken in the Wine prefix" % LETTER)
        os.symlink(drive, link)
    else:
        env["TORVANE_DRIVE_MAP"] = "%s=%s" % (LETTER, drive)
    command = (args.emulator.split() if args.emulator else []) + [
        args.host, "--raw", "watch", LETTER, "--report", windows_path(host_dir, args.emulator)]
    proc = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        for line in proc.stderr:
            if line.startswith(b"watching"):
                break
        else:
            sys.exit("audit_burst: the host did not start watching")
        counter = Counter(proc.stdout)

        start = time.monotonic()
        for i in range(args.files):
            open(os.path.join(drive, "f%d" % i), "wb").close()
        created = time.monotonic() - start
        while True:
            with counter.lock:
                done = counter.reported >= args.files
                quiet = time.monotonic() - counter.last
            if done or quiet > 60:
                break
            time.sleep(0.1)
        with counter.lock:
            reported, stored, losses = counter.reported, counter.stored, counter.losses
            took = counter.last - start
    finally:
        proc.terminate()
        try:
            proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        if link and os.path.islink(link):
            os.remove(link)
    check = subprocess.run([args.store_tool, "check", os.path.join(host_dir, "info2.sys")],
                           capture_output=True, text=True)
    print("%s %d files (created in %.1f s): %d events reported, %d stored, %d lost, "
          "%d loss reports; store: %s; %.1f s from the first create to the last event"
          % (args.server, args.files, created, reported, stored, args.files - reported,
             losses, (check.stdout + check.stderr).strip(), took), flush=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--host", required=True)
    ap.add_argument("--store-tool", required=True)
    ap.add_argument("--emulator", default="")
    ap.add_argument("--files", type=int, default=10000)
    ap.add_argument("--server", default="drop", choices=["drop", "stall", "answer"])
    args = ap.parse_args()

    work = tempfile.mkdtemp(prefix="torvane-burst-")
    try:
        with management_server(args.server, work) as address:
            burst(args, work, address)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
