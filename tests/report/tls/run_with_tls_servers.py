#!/usr/bin/env python3
"""Runs a test program against TLS servers on loopback, with a test CA made
afresh for the run.

    run_with_tls_servers.py [--emulator CMD] -- PROGRAM [ARGS...]

Servers (name=port in TORVANE_TLS_PORTS):
    good        the stand-in server over https, certificate from the test CA
                for localhost and 127.0.0.1; its mode file and calls are in
                TORVANE_SERVER_DIR, its port also in TORVANE_SERVER_PORT
    http        the stand-in server over plain http (same folder, its own
                calls file "http-calls.jsonl")
    selfsigned  a stand-in whose certificate signs itself
    expired     a stand-in whose certificate (from the test CA) ran out in 2020
    wronghost   a stand-in whose certificate (from the test CA) names elsewhere.test
    tls10       a server that speaks TLS 1.0 only
    stall       a server that sends half its first handshake flight, then waits
    garbage     a server that answers the client's hello with non-TLS bytes
    cut         a server that completes the handshake, reads the request and
                closes halfway through the record carrying its reply
Every stand-in above answers infoWarn with 0 once a client gets through.

TORVANE_TLS_PINS holds name=pin (hex SHA-256 of the certificate's public
key) for good, selfsigned and wronghost; SSL_CERT_FILE names the test CA (OpenSSL's
own variable, so the POSIX backend trusts it and nothing else).
"""
import hashlib
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "server"))
import dedu_server  # noqa: E402
import warnings  # noqa: E402

# The TLS 1.0 server is the point of one test.
warnings.filterwarnings("ignore", category=DeprecationWarning)

WINE = os.environ.get("TORVANE_WINE") or os.path.join(ROOT, "scripts", "wine-exec")
OPENSSL = shutil.which("openssl") or "/usr/bin/openssl"


def run(*args, cwd):
    subprocess.run([OPENSSL, *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_certificates(folder):
    """The test CA and the servers' certificates; returns the pins."""
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"]
    run("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "3",
        "-subj", "/CN=Torvane Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    leaf_ext = "basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName={}\n"
    sans = {"good": "DNS:localhost,IP:127.0.0.1", "expired": "DNS:localhost,IP:127.0.0.1",
            "wronghost": "DNS:elsewhere.test"}
    for name, san in sans.items():
        with open(os.path.join(folder, name + ".ext"), "w") as f:
            f.write(leaf_ext.format(san))
        run("req", *ec, "-keyout", name + ".key", "-out", name + ".csr", "-subj", "/CN=" + name,
            cwd=folder)
    for name in ("good", "wronghost"):
        run("x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-extfile", name + ".ext", "-out", name + ".pem",
            cwd=folder)
    # A certificate that ran out long ago needs the CA tool's dates.
    with open(os.path.join(folder, "ca.cnf"), "w") as f:
        f.write("[ca]\ndefault_ca = test\n[test]\ndatabase = index.txt\nnew_certs_dir = .\n"
                "serial = serial.txt\ndefault_md = sha256\npolicy = any\n"
                "[any]\ncommonName = supplied\n")
    open(os.path.join(folder, "index.txt"), "w").close()
    with open(os.path.join(folder, "serial.txt"), "w") as f:
        f.write("1000\n")
    run("ca", "-batch", "-config", "ca.cnf", "-cert", "ca.pem", "-keyfile", "ca.key",
        "-in", "expired.csr", "-out", "expired.pem", "-notext", "-startdate", "20200101000000Z",
        "-enddate", "20200201000000Z", "-extfile", "expired.ext", cwd=folder)
    with open(os.path.join(folder, "selfsigned.ext"), "w") as f:
        f.write(leaf_ext.format("DNS:localhost,IP:127.0.0.1"))
    run("req", "-x509", *ec, "-keyout", "selfsigned.key", "-out", "selfsigned.pem", "-days", "2",
        "-subj", "/CN=selfsigned", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
        cwd=folder)
    pins = {}
    for name in ("good", "selfsigned", "wronghost"):
        # The pin as the operator's guide computes it: SHA-256 of the DER
        # SubjectPublicKeyInfo.
        spki = subprocess.run(
            [OPENSSL, "x509", "-in", os.path.join(folder, name + ".pem"), "-pubkey", "-noout"],
            check=True, capture_output=True).stdout
        der = subprocess.run([OPENSSL, "pkey", "-pubin", "-outform", "der"], input=spki,
                             check=True, capture_output=True).stdout
        pins[name] = hashlib.sha256(der).hexdigest()
    return pins


def serve_in_thread(server):
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    return server.server_address[1]


class RawServer:
    """A loopback listener handing each connection to `handle` in a thread."""

    def __init__(self, handle):
        self.handle = handle
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(16)
        self.port = self.sock.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self.guard, args=(conn,), daemon=True).start()

    def guard(self, conn):
        conn.settimeout(30)
        try:
            self.handle(conn)
        except (OSError, ssl.SSLError):
            pass
        finally:
            conn.close()


def pump_handshake(conn, tls, incoming, outgoing):
    """Runs the server side of a handshake over memory BIOs."""
    while True:
        try:
            tls.do_handshake()
            conn.sendall(outgoing.read())
            return
        except ssl.SSLWantReadError:
            conn.sendall(outgoing.read())
            data = conn.recv(16384)
            if not data:
                raise OSError("client left")
            incoming.write(data)


def stall(conn, context):
    incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
    tls = context.wrap_bio(incoming, outgoing, server_side=True)
    incoming.write(conn.recv(16384))  # the client's hello
    try:
        tls.do_handshake()
    except ssl.SSLWantReadError:
        pass
    flight = outgoing.read()
    conn.sendall(flight[: max(1, len(flight) // 2)])
    time.sleep(30)


def garbage(conn):
    conn.recv(16384)
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello" * 8)
    time.sleep(1)


def cut(conn, context):
    incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
    tls = context.wrap_bio(incoming, outgoing, server_side=True)
    pump_handshake(conn, tls, incoming, outgoing)
    request = b""
    while b"</soapenv:Envelope>" not in request and b"Envelope>" not in request[-64:]:
        try:
            request += tls.read(65536)
            continue
        except ssl.SSLWantReadError:
            pass
        data = conn.recv(16384)
        if not data:
            return
        incoming.write(data)
    body = dedu_server.REPLY.format(op="infoWarn", ns="x", value="0").encode()
    tls.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: %d\r\n\r\n"
              % len(body) + body)
    record = outgoing.read()
    conn.sendall(record[: len(record) // 2])
    conn.shutdown(socket.SHUT_RDWR)


def main():
    argv = sys.argv[1:]
    emulator = []
    while argv and argv[0] != "--":
        if argv[0] == "--emulator" and len(argv) > 1:
            if argv[1]:
                emulator = argv[1].split(";")
            argv = argv[2:]
        else:
            sys.exit(__doc__)
    command = argv[1:]
    if not command:
        sys.exit(__doc__)
    if not emulator and command[0].lower().endswith(".exe") and os.name != "nt":
        emulator = [WINE]

    folder = tempfile.mkdtemp(prefix="torvane-tls-")
    try:
        pins = make_certificates(folder)
        path = lambda name: os.path.join(folder, name)  # noqa: E731
        mode = path("mode")
        ports = {}
        servers = []

        def stand_in(name, cert=None, record=None):
            chain = None
            if cert:
                chain = path(cert + "-chain.pem")
                with open(chain, "w") as out:
                    for part in ((cert + ".pem", "ca.pem") if cert != "selfsigned"
                                 else ("selfsigned.pem",)):
                        with open(path(part)) as f:
                            out.write(f.read())
            server = dedu_server.make_server(
                record=record, mode_file=mode if record else None, tls_cert=chain,
                tls_key=path(cert + ".key") if cert else None)
            servers.append(server)
            ports[name] = serve_in_thread(server)

        stand_in("good", "good", path("calls.jsonl"))
        stand_in("http", None, path("http-calls.jsonl"))
        for name in ("selfsigned", "expired", "wronghost"):
            stand_in(name, name)

        tls10 = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls10.set_ciphers("DEFAULT:@SECLEVEL=0")
        tls10.minimum_version = ssl.TLSVersion.TLSv1
        tls10.maximum_version = ssl.TLSVersion.TLSv1
        tls10.load_cert_chain(path("good-chain.pem"), path("good.key"))
        server = dedu_server.make_server(context=tls10)
        servers.append(server)
        ports["tls10"] = serve_in_thread(server)

        good = dedu_server.tls_context(path("good-chain.pem"), path("good.key"))
        raw = [RawServer(lambda c: stall(c, good)), RawServer(garbage),
               RawServer(lambda c: cut(c, good))]
        for name, listener in zip(("stall", "garbage", "cut"), raw):
            ports[name] = listener.port

        env = dict(os.environ)
        env["TORVANE_TLS_PORTS"] = ",".join("%s=%d" % kv for kv in ports.items())
        env["TORVANE_TLS_PINS"] = ",".join("%s=%s" % kv for kv in pins.items())
        env["TORVANE_SERVER_PORT"] = str(ports["good"])
        env["TORVANE_SERVER_DIR"] = ("Z:" + folder) if emulator else folder
        env["SSL_CERT_FILE"] = path("ca.pem")
        env["SSL_CERT_DIR"] = path("no-such-folder")
        code = subprocess.call(emulator + command, env=env)
        for server in servers:
            server.shutdown()
            server.server_close()
        for listener in raw:
            listener.sock.close()
        return code
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
