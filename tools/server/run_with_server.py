#!/usr/bin/env python3
"""Runs a test program against a fresh stand-in server on a free loopback port.

    run_with_server.py [--emulator wine] -- PROGRAM [ARGS...]

A Windows program (.exe) runs under wine when no emulator is given.

The program finds the server through the environment:
    TORVANE_SERVER_PORT  the port
    TORVANE_SERVER_DIR   a folder holding "mode" (written by the test) and
                         "calls.jsonl" (written by the server); under an
                         emulator the folder is given as a Windows path.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

# Windows programs start through the project's launcher, which picks Wine's
# loader by the program's architecture.
WINE = os.environ.get("TORVANE_WINE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-exec")

HERE = os.path.dirname(os.path.abspath(__file__))


def program_and_emulator(argv, usage):
    """[--emulator CMD] -- PROGRAM [ARGS...]: the command and the emulator it
    runs under (Wine for a Windows program when none is given)."""
    emulator = []
    while argv and argv[0] != "--":
        if argv[0] == "--emulator" and len(argv) > 1:
            if argv[1]:
                emulator = argv[1].split(";")
            argv = argv[2:]
        else:
            sys.exit(usage)
    command = argv[1:]
    if not command:
        sys.exit(usage)
    if not emulator and command[0].lower().endswith(".exe") and os.name != "nt":
        emulator = [WINE]
    return command, emulator


def main():
    command, emulator = program_and_emulator(
        sys.argv[1:], "usage: run_with_server.py [--emulator CMD] -- PROGRAM [ARGS...]")

    folder = tempfile.mkdtemp(prefix="torvane-server-")
    port_file = os.path.join(folder, "port")
    server = subprocess.Popen(
        [sys.executable, os.path.join(HERE, "dedu_server.py"), "--port-file", port_file,
         "--record", os.path.join(folder, "calls.jsonl"), "--mode-file",
         os.path.join(folder, "mode")],
        stdout=subprocess.DEVNULL)
    try:
        deadline = time.time() + 20
        while not os.path.exists(port_file):
            if server.poll() is not None or time.time() > deadline:
                sys.exit("run_with_server.py: the server did not start")
            time.sleep(0.05)
        with open(port_file) as f:
            port = f.read().strip()
        env = dict(os.environ)
        env["TORVANE_SERVER_PORT"] = port
        env["TORVANE_SERVER_DIR"] = ("Z:" + folder) if emulator else folder
        return subprocess.call(emulator + command, env=env)
    finally:
        server.terminate()
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
