#!/usr/bin/env python3
"""Times a scripted admission (torvane-host scan with the sample disks and
samples/admission/unlock.script) while the management server is away.

    admission_outage.py --host PATH [--selvik PATH] [--emulator CMD]
                        [--server stall|drop|answer|none] [--runs N]

Servers:
    stall   the stand-in server accepts each connection and never answers
    drop    a listening socket whose backlog is full: Linux drops the SYNs,
            as an address that drops packets does
    answer  the stand-in server answering 0
    none    no WebAddress at all (nothing is sent)

Prints, per run, the seconds from the start of the pass to the password
dialog, from the first OK to the "wrong password" box, and for the whole
admission, as read from the transcript lines as they arrive.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from outage_server import KINDS, ROOT, management_server, windows_path  # noqa: E402


def one_run(args, address):
    work = tempfile.mkdtemp(prefix="torvane-admission-")
    try:
        cfg = os.path.join(work, "cfg")
        os.makedirs(os.path.join(work, "e"))
        shutil.copytree(os.path.join(ROOT, "samples", "config"), cfg)
        shutil.copy(os.path.join(ROOT, "samples", "admission", "disks.sim"), work)
        with open(os.path.join(cfg, "kolMera2.ini"), "wb") as f:
            f.write(b"[KOLMERA]\r\nreg=1\r\nWebAddress=" + address.encode() + b"\r\n")
        env = dict(os.environ)
        env["SELVIK_SIM"] = windows_path(os.path.join(work, "disks.sim"), args.emulator)
        env["TORVANE_STATE_DIR"] = os.path.join(work, "state")
        command = (args.emulator.split() if args.emulator else []) + [
            args.host, "scan", "--dir", windows_path(cfg, args.emulator), "--utf8",
            "--script", windows_path(os.path.join(ROOT, "samples", "admission", "unlock.script"),
                                     args.emulator)]
        if args.selvik:
            command += ["--selvik", windows_path(args.selvik, args.emulator)]
        if not args.emulator:
            command += ["--drive", "e=" + os.path.join(work, "e")]
        marks = {}
        start = time.monotonic()
        proc = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        for raw in proc.stdout:
            line = raw.decode("utf-8", "replace").rstrip()
            now = time.monotonic() - start
            if line.startswith("dialog 8001 open") and "dialog" not in marks:
                marks["dialog"] = now
            elif line.startswith("8001 press 1") and "ok" not in marks:
                marks["ok"] = now
            elif line.startswith("box 8001") and "box" not in marks:
                marks["box"] = now
        proc.wait()
        total = time.monotonic() - start
        stored = os.path.getsize(os.path.join(cfg, "info2.sys")) if os.path.exists(
            os.path.join(cfg, "info2.sys")) else 0
        return marks, total, proc.returncode, stored
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--host", required=True)
    ap.add_argument("--selvik")
    ap.add_argument("--emulator", default="")
    ap.add_argument("--server", default="stall", choices=KINDS)
    ap.add_argument("--runs", type=int, default=1)
    args = ap.parse_args()

    folder = tempfile.mkdtemp(prefix="torvane-outage-")
    try:
        with management_server(args.server, folder) as address:
            for run in range(args.runs):
                marks, total, rc, stored = one_run(args, address)
                dialog = marks.get("dialog")
                box = marks["box"] - marks["ok"] if "box" in marks and "ok" in marks else None
                fmt = lambda v: "%.2f s" % v if v is not None else "n/a"
                print("%s run %d: to password dialog %s, OK to failure box %s, whole admission %s "
                      "(exit %d, store %d bytes)" % (args.server, run + 1, fmt(dialog), fmt(box),
                                                      fmt(total), rc, stored), flush=True)
    finally:
        shutil.rmtree(folder, ignore_errors=True)

if __name__ == "__main__":
    main()
