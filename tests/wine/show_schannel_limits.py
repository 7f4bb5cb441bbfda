#!/usr/bin/env python3
"""Runs schannel_limits.exe under Wine with a throwaway CA and a server
certificate from it for localhost and 127.0.0.1 (see schannel_limits.cpp).

    show_schannel_limits.py SCHANNEL_LIMITS_EXE
"""
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "server"))
import tls_certs  # noqa: E402

WINE = os.environ.get("TORVANE_WINE") or os.path.join(ROOT, "scripts", "wine-exec")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = tempfile.mkdtemp(prefix="torvane-schannel-")
    try:
        tls_certs.make_ca(folder)
        tls_certs.make_leaf(folder, "server", "DNS:localhost,IP:127.0.0.1")
        return subprocess.call([WINE, sys.argv[1], "Z:" + os.path.join(folder, "ca.pem"),
                                "Z:" + os.path.join(folder, "server.pem"), "localhost", "127.0.0.1"],
                               timeout=120)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
