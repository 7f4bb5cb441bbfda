#!/usr/bin/env python3
"""Interoperability check: infoWarn against Apache Axis 1.4 (libaxis-java).

    check_axis.py HOST_PROGRAM [NAMESPACE]

Compiles axis/InfoWarnService.java, serves it with Axis's own stand-alone
server (org.apache.axis.transport.http.SimpleAxisServer, default settings,
so the long return comes back by reference to a multiRef element), and has
`torvane-host report` (HOST_PROGRAM; a .exe runs under wine) send events:

1. the server answers 0: Axis decoded guid, when, memos and logType exactly,
   and the event counts as delivered (nothing stored);
2. the server answers 5: the event is stored;
3. the server throws a fault: the event is stored.

It also posts one request itself to show that Axis really answers with a
multiRef. Exit 0 when every check passed.
"""
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

# Windows programs start through the project's launcher, which picks Wine's
# loader by the program's architecture.
WINE = os.environ.get("TORVANE_WINE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "scripts", "wine-exec")

HERE = os.path.dirname(os.path.abspath(__file__))
TEXT = '插入U盘 "A&B" <c> \'d\' a|b 中文'
DEFAULT_NS = "http://127.0.0.1:8080/WebDeduRazivor/services/DeduRazivor"
JARS = ["axis.jar", "jaxrpc.jar", "saaj.jar", "commons-logging.jar", "commons-discovery.jar",
        "wsdl4j.jar", "javax.activation.jar", "javax.mail.jar"]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    host = sys.argv[1]
    namespace = sys.argv[2] if len(sys.argv) > 2 else DEFAULT_NS
    classpath = [os.path.join("/usr/share/java", j) for j in JARS]
    folder = tempfile.mkdtemp(prefix="torvane-axis-")
    record = os.path.join(folder, "calls.jsonl")
    mode = os.path.join(folder, "mode")
    failures = []
    server = None

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            failures.append(what)

    try:
        # Axis 1.4 reads parameter names from the class file's debug data and
        # knows only the class file forms of its time.
        subprocess.run(["javac", "--release", "8", "-nowarn", "-Xlint:-options", "-cp", ":".join(classpath), "-d", folder,
                        os.path.join(HERE, "axis", "InfoWarnService.java")], check=True)
        wsdd = open(os.path.join(HERE, "axis", "server-config.wsdd"), encoding="utf-8").read()
        with open(os.path.join(folder, "server-config.wsdd"), "w", encoding="utf-8") as f:
            f.write(wsdd.replace("@NAMESPACE@", namespace))
        port = free_port()
        log = open(os.path.join(folder, "axis.log"), "wb")
        server = subprocess.Popen(
            ["java", "-cp", ":".join([folder] + classpath), "-Dinterop.record=" + record,
             "-Dinterop.mode=" + mode, "org.apache.axis.transport.http.SimpleAxisServer",
             "-p", str(port)], cwd=folder, stdout=log, stderr=subprocess.STDOUT)
        deadline = time.time() + 60
        while True:
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                if server.poll() is not None or time.time() > deadline:
                    sys.exit("check_axis.py: Axis did not start:\n" +
                             open(os.path.join(folder, "axis.log"), errors="replace").read())
                time.sleep(0.2)
        url = "http://127.0.0.1:%d/axis/services/DeduRazivor" % port

        # What Axis answers with its defaults: the return by reference.
        probe = ('<?xml version="1.0" encoding="UTF-8"?><soap:Envelope xmlns:soap='
                 '"http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsi='
                 '"http://www.w3.org/2001/XMLSchema-instance" xmlns:xsd='
                 '"http://www.w3.org/2001/XMLSchema" soap:encodingStyle='
                 '"http://schemas.xmlsoap.org/soap/encoding/"><soap:Body><ns:infoWarn xmlns:ns="'
                 + namespace + '"><guid xsi:type="xsd:string">probe</guid><when xsi:type='
                 '"xsd:string">2026-01-02 03:04:05</when><memos xsi:type="xsd:string">probe'
                 '</memos><logType xsi:type="xsd:long">2</logType></ns:infoWarn></soap:Body>'
                 '</soap:Envelope>')
        request = urllib.request.Request(url, probe.encode(), {
            "Content-Type": "text/xml; charset=utf-8", "SOAPAction": '""'})
        reply = urllib.request.urlopen(request, timeout=30).read().decode("utf-8", "replace")
        check('href="#id0"' in reply and "<multiRef" in reply, "Axis answers by reference: " + reply)
        os.remove(record)

        with open(os.path.join(folder, "id.cfg"), "wb") as f:
            f.write(b"[KOLMERA]\r\nUID=T1\r\n")
        with open(os.path.join(folder, "kolMera2.ini"), "wb") as f:
            f.write(("[KOLMERA]\r\nWebAddress=%s\r\n" % url).encode())
        store = os.path.join(folder, "info2.sys")

        def report():
            command = [host, "report", "--dir", folder, TEXT]
            env = dict(os.environ)
            if host.lower().endswith(".exe"):
                command = [WINE, host, "report", "--dir", "Z:" + folder, TEXT]
                env.setdefault("LC_ALL", "zh_CN.UTF-8")
            result = subprocess.run(command, env=env, capture_output=True, text=True, timeout=120)
            print("     " + result.stdout.strip())
            return result.returncode

        def calls():
            if not os.path.exists(record):
                return []
            return [json.loads(line) for line in open(record, encoding="utf-8")]

        rc = report()
        got = calls()
        check(rc == 0 and len(got) == 1 and not os.path.exists(store),
              "answer 0: delivered once, nothing stored (rc %d, %d calls)" % (rc, len(got)))
        if got:
            params = got[0]["params"]
            print("     Axis decoded:", json.dumps(params, ensure_ascii=False))
            check(params["guid"] == "T1" and params["memos"] == TEXT and params["logType"] == 2
                  and len(params["when"]) == 19 and params["when"][4] == "-",
                  "Axis decoded guid, when, memos and logType exactly")

        for n, answer in enumerate(("answer 5", "fault"), start=1):
            with open(mode, "w") as f:
                f.write(answer)
            rc = report()
            stored = os.path.getsize(store) if os.path.exists(store) else 0
            check(rc != 0 and len(calls()) == 1 + n and stored > 0,
                  "%s: the server got it once and it was stored (rc %d)" % (answer, rc))
    finally:
        if server is not None:
            server.terminate()
            server.wait()
        shutil.rmtree(folder, ignore_errors=True)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
