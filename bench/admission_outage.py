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
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SERVICE_PATH = "/WebDeduRazivor/services/DeduRazivor"


def start_stand_in(folder, mode):
    port_file = os.path.join(folder, "port")
    server = subprocess.Popen(
        [sys.executable, os.path.join(ROOT, "tools", "server", "dedu_server.py"),
         "--port-file", port_file, "--mode", mode,
         "--record", os.path.join(folder, "calls.jsonl")],
        stdout=subprocess.DEVNULL)
    deadline = time.time() + 20
    while not os.path.exists(port_file):
        if server.poll() is not None or time.time() > deadline:
            sys.exit("admission_outage: the stand-in server did not start")
        time.sleep(0.05)
    with open(port_file) as f:
        return server, int(f.read())


class FullBacklog:
    """A listener that never accepts, its backlog filled by idle clients."""

    def __init__(self):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(0)
        self.port = self.listener.getsockname()[1]
        self.fillers = []
        for _ in range(4):
            s = socket.socket()
            s.setblocking(False)
            try:
                s.connect(("127.0.0.1", self.port))
            except BlockingIOError:
                pass
            self.fillers.append(s)
        time.sleep(0.2)

    def close(self):
        for s in self.fillers:
            s.close()
        self.listener.close()


def windows_path(path, emulator):
    return ("Z:" + path.replace("/", "\\")) if emulator else path


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
    ap.add_argument("--server", default="stall", choices=["stall", "drop", "answer", "none"])
    ap.add_argument("--runs", type=int, default=1)
    args = ap.parse_args()

    folder = tempfile.mkdtemp(prefix="torvane-outage-")
    server = backlog = None
    try:
        if args.server in ("stall", "answer"):
            server, port = start_stand_in(folder, "stall 120" if args.server == "stall" else "answer 0")
        elif args.server == "drop":
            backlog = FullBacklog()
            port = backlog.port
        address = "" if args.server == "none" else "http://127.0.0.1:%d%s" % (port, SERVICE_PATH)
        for run in range(args.runs):
            marks, total, rc, stored = one_run(args, address)
            dialog = marks.get("dialog")
            box = marks.get("box") - marks["ok"] if "box" in marks and "ok" in marks else None
            fmt = lambda v: "%.2f s" % v if v is not None else "n/a"
            print("%s run %d: to password dialog %s, OK to failure box %s, whole admission %s "
                  "(exit %d, store %d bytes)" % (args.server, run + 1, fmt(dialog), fmt(box),
                                                  fmt(total), rc, stored), flush=True)
    finally:
        if server:
            server.terminate()
            server.wait()
        if backlog:
            backlog.close()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
