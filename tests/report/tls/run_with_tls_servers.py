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
key) for good, selfsigned, wronghost and expired; SSL_CERT_FILE names the test CA (OpenSSL's
own variable, so the POSIX backend trusts it and nothing else).
"""
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
from run_with_server import program_and_emulator  # noqa: E402
import tls_certs  # noqa: E402
import warnings  # noqa: E402

# The TLS 1.0 server is the point of one test.
warnings.filterwarnings("ignore", category=DeprecationWarning)


def make_certificates(folder):
    """The test CA and the servers' certificates; returns the pins."""
    tls_certs.make_ca(folder)
    local = "DNS:localhost,IP:127.0.0.1"
    tls_certs.make_leaf(folder, "good", local)
    tls_certs.make_leaf(folder, "expired", local, expired=True)
    tls_certs.make_leaf(folder, "wronghost", "DNS:elsewhere.test")
    tls_certs.make_self_signed(folder, "selfsigned", local)
    return {name: tls_certs.spki_pin(os.path.join(folder, name + ".pem"))
            for name in ("good", "selfsigned", "wronghost", "expired")}


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
    command, emulator = program_and_emulator(sys.argv[1:], __doc__)

    folder = tempfile.mkdtemp(prefix="torvane-tls-")
    try:
        pins = make_certificates(folder)
        path = lambda name: os.path.join(folder, name)  # noqa: E731
        mode = path("mode")
        ports = {}
        servers = []

        def stand_in(name, cert=None, record=None):
            chain = path(cert + "-chain.pem") if cert else None
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
