#!/usr/bin/env python3
"""Starts the fault server on a free loopback port, runs the test program
with the port in TORVANE_HTTP_PORT (under wine when it is a .exe), stops the
server and exits with the program's status."""
import os
import subprocess
import sys

# Windows programs start through the project's launcher, which picks Wine's
# loader by the program's architecture.
WINE = os.environ.get("TORVANE_WINE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "scripts", "wine-exec")


def main():
    if len(sys.argv) < 2:
        print("usage: run_with_server.py <program> [args...]", file=sys.stderr)
        return 2
    here = os.path.dirname(os.path.abspath(__file__))
    server = subprocess.Popen([sys.executable, os.path.join(here, "fault_server.py")],
                              stdout=subprocess.PIPE, text=True)
    try:
        port = server.stdout.readline().strip()
        if not port.isdigit():
            print("fault server did not start", file=sys.stderr)
            return 1
        env = dict(os.environ, TORVANE_HTTP_PORT=port)
        command = sys.argv[1:]
        if command[0].lower().endswith(".exe"):
            command = [WINE] + command
        return subprocess.call(command, env=env)
    finally:
        server.kill()
        server.wait()


if __name__ == "__main__":
    sys.exit(main())
