#!/usr/bin/env python3
"""Interoperability check: our infoWarn request against SOAP::Lite.

    check_soaplite.py HOST_PROGRAM [NAMESPACE]

Starts soaplite_server.pl on a free loopback port, has `torvane-host report`
(HOST_PROGRAM; a .exe runs under wine) send one event with Chinese text,
"&", "<", quotes and a bar, and checks that SOAP::Lite decoded every
parameter exactly. Exit 0 when it did.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

# Windows programs start through the project's launcher, which picks Wine's
# loader by the program's architecture.
WINE = os.environ.get("TORVANE_WINE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "scripts", "wine-exec")

HERE = os.path.dirname(os.path.abspath(__file__))
TEXT = '插入U盘 "A&B" <c> \'d\' a|b 中文'
DEFAULT_NS = "http://127.0.0.1:8080/WebDeduRazivor/services/DeduRazivor"


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    host = sys.argv[1]
    namespace = sys.argv[2] if len(sys.argv) > 2 else DEFAULT_NS
    folder = tempfile.mkdtemp(prefix="torvane-interop-")
    port_file = os.path.join(folder, "port")
    record = os.path.join(folder, "calls.jsonl")
    server = subprocess.Popen(["perl", os.path.join(HERE, "soaplite_server.pl"), port_file,
                               record, namespace])
    try:
        deadline = time.time() + 20
        while not os.path.exists(port_file):
            if server.poll() is not None or time.time() > deadline:
                sys.exit("check_soaplite.py: SOAP::Lite server did not start")
            time.sleep(0.05)
        port = open(port_file).read().strip()
        with open(os.path.join(folder, "id.cfg"), "wb") as f:
            f.write(b"[KOLMERA]\r\nUID=T1\r\n")
        with open(os.path.join(folder, "kolMera2.ini"), "wb") as f:
            f.write(("[KOLMERA]\r\nWebAddress=http://127.0.0.1:%s/WebDeduRazivor/services/"
                     "DeduRazivor\r\n" % port).encode())
        command = [host, "report", "--dir", folder, TEXT]
        env = dict(os.environ)
        if host.lower().endswith(".exe"):
            command = [WINE, host, "report", "--dir", "Z:" + folder, TEXT]
            env.setdefault("LC_ALL", "zh_CN.UTF-8")
        result = subprocess.run(command, env=env, capture_output=True, text=True)
        print(result.stdout.strip())
        calls = [json.loads(line) for line in open(record, encoding="utf-8")] \
            if os.path.exists(record) else []
        if result.returncode != 0 or len(calls) != 1:
            sys.exit("check_soaplite.py: not delivered (rc %d, %d calls)"
                     % (result.returncode, len(calls)))
        params = calls[0]["params"]
        print("SOAP::Lite decoded:", json.dumps(params, ensure_ascii=False))
        ok = (params["guid"] == "T1" and params["memos"] == TEXT
              and str(params["logType"]) == "2" and len(params["when"]) == 19)
        print("interop:", "ok" if ok else "MISMATCH")
        return 0 if ok else 1
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
