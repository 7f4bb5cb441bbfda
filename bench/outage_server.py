"""The management server as the outage scenarios need it: the stand-in
server stalling or answering, an address that drops connection attempts, or
none at all."""
import contextlib
import os
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SERVICE_PATH = "/WebDeduRazivor/services/DeduRazivor"
KINDS = ["stall", "drop", "answer", "none"]


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


@contextlib.contextmanager
def management_server(kind, folder):
    """Yields the WebAddress for `kind`: "stall" (accepts, never answers),
    "drop" (a full backlog: SYNs go unanswered), "answer" (answers 0) or
    "none" (the empty address)."""
    server = backlog = None
    try:
        if kind in ("stall", "answer"):
            server, port = start_stand_in(folder, "stall 120" if kind == "stall" else "answer 0")
        elif kind == "drop":
            backlog = FullBacklog()
            port = backlog.port
        yield "" if kind == "none" else "http://127.0.0.1:%d%s" % (port, SERVICE_PATH)
    finally:
        if server:
            server.terminate()
            server.wait()
        if backlog:
            backlog.close()
