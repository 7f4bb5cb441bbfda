#!/usr/bin/env python3
"""Stand-in management server: serves the DeduRazivor infoWarn operation.

Decodes each SOAP request it receives (character references back to text),
records it as one JSON line, and answers as the mode file says. The mode is
read again for every request, so a test can change it between calls:

    answer N     status 200 with infoWarnReturn N (default: answer 0)
    fault        status 500 with a SOAP fault (soapenv:Server)
    stall [S]    read the request, then send nothing for S seconds (30)
    trickle [S]  start a reply, then send one byte every S seconds (0.25)
                 for as long as the client listens
    close        read the request, then close the connection at once
    status N     status N with an empty body
    redirect URL status 302 with Location URL

A request to FOREIGN_PATH plays another server that takes every event
(answer 0), whatever the mode: where a redirect must never lead.

With --tls-cert and --tls-key it serves https (TLS 1.2 or later) with that
certificate chain and key instead of http.

Usage: dedu_server.py [--host 127.0.0.1] [--port 0] [--port-file F]
                      [--record F.jsonl] [--mode-file F] [--mode "answer 0"]
                      [--tls-cert CHAIN.pem --tls-key KEY.pem]
"""
import argparse
import json
import os
import socket
import ssl
import sys
import threading
import time
import xml.etree.ElementTree as ET
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SERVICE_PATH = "/WebDeduRazivor/services/DeduRazivor"
ENV_NS = "http://schemas.xmlsoap.org/soap/envelope/"
XSI_NS = "http://www.w3.org/2001/XMLSchema-instance"
FOREIGN_PATH = "/foreign" + SERVICE_PATH
MAX_BODY = 1 << 20

REPLY = (
    '<?xml version="1.0" encoding="utf-8"?>'
    '<soapenv:Envelope xmlns:soapenv="http://schemas.xmlsoap.org/soap/envelope/" '
    'xmlns:xsd="http://www.w3.org/2001/XMLSchema" '
    'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
    '<soapenv:Body><ns1:{op}Response '
    'soapenv:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/" '
    'xmlns:ns1="{ns}"><{op}Return xsi:type="xsd:long">{value}</{op}Return>'
    '</ns1:{op}Response></soapenv:Body></soapenv:Envelope>')

FAULT = (
    '<?xml version="1.0" encoding="utf-8"?>'
    '<soapenv:Envelope xmlns:soapenv="http://schemas.xmlsoap.org/soap/envelope/" '
    'xmlns:xsd="http://www.w3.org/2001/XMLSchema" '
    'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
    '<soapenv:Body><soapenv:Fault><faultcode>soapenv:{code}</faultcode>'
    '<faultstring>{text}</faultstring></soapenv:Fault></soapenv:Body></soapenv:Envelope>')

record_lock = threading.Lock()


def decode_call(body):
    """Operation name, namespace and parameters (None for nil) of a request."""
    root = ET.fromstring(body)
    if root.tag != "{%s}Envelope" % ENV_NS:
        raise ValueError("not a SOAP 1.1 envelope")
    soap_body = root.find("{%s}Body" % ENV_NS)
    if soap_body is None or len(soap_body) == 0:
        raise ValueError("no operation element")
    op = soap_body[0]
    ns, _, name = op.tag[1:].partition("}") if op.tag.startswith("{") else ("", "", op.tag)
    params = {}
    for child in op:
        if child.attrib.get("{%s}nil" % XSI_NS) in ("1", "true"):
            params[child.tag] = None
        else:
            params[child.tag] = child.text or ""
    return name, ns, params


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "DeduRazivorStandIn/1.0"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("dedu_server: " + (fmt % args) + "\n")

    def mode(self):
        text = self.server.default_mode
        if self.server.mode_file and os.path.exists(self.server.mode_file):
            with open(self.server.mode_file, encoding="utf-8") as f:
                text = f.read().strip() or text
        words = text.split()
        return words[0], words[1:]

    def send(self, status, body, content_type="text/xml; charset=utf-8", location=None):
        data = body.encode("utf-8")
        self.send_response(status)
        if location:
            self.send_header("Location", location)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.close_connection = True

    def do_GET(self):
        self.send(404, "", "text/plain")

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length < 0 or length > MAX_BODY:
            self.send(413, "", "text/plain")
            return
        raw = self.rfile.read(length)
        entry = {"time": time.time(), "path": self.path,
                 "headers": {k: v for k, v in self.headers.items()},
                 "request_line": self.requestline}
        op, ns = "", ""
        try:
            text = raw.decode("utf-8")
            entry["ascii_body"] = all(0x20 <= b <= 0x7E for b in raw)
            op, ns, params = decode_call(text)
            entry.update(operation=op, namespace=ns, params=params)
        except (UnicodeDecodeError, ET.ParseError, ValueError) as e:
            entry["error"] = str(e)
        entry["body"] = raw.decode("utf-8", "replace")
        with record_lock:
            if self.server.record:
                with open(self.server.record, "a", encoding="utf-8") as f:
                    f.write(json.dumps(entry, ensure_ascii=False, separators=(",", ":")) + "\n")

        if self.path.split("?")[0] == FOREIGN_PATH and "error" not in entry:
            self.send(200, REPLY.format(op=op, ns=ns, value="0"))
            return
        if self.path.split("?")[0] != SERVICE_PATH:
            self.send(404, "", "text/plain")
            return
        if "error" in entry:
            self.send(500, FAULT.format(code="Client", text="unreadable request"))
            return
        kind, args = self.mode()
        if kind == "answer":
            value = args[0] if args else "0"
            self.send(200, REPLY.format(op=op, ns=ns, value=value))
        elif kind == "fault":
            self.send(500, FAULT.format(code="Server", text="event refused"))
        elif kind == "stall":
            time.sleep(float(args[0]) if args else 30.0)
            self.close_connection = True
        elif kind == "trickle":
            pause = float(args[0]) if args else 0.25
            self.close_connection = True
            try:
                self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n")
                while True:
                    self.wfile.flush()
                    time.sleep(pause)
                    self.wfile.write(b"X")
            except OSError:
                pass
        elif kind == "close":
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        elif kind == "redirect" and args:
            self.send(302, "", "text/plain", location=args[0])
        elif kind == "status":
            self.send(int(args[0]) if args else 503, "", "text/plain")
        else:
            self.send(500, FAULT.format(code="Server", text="unknown mode " + kind))


class TlsServer(ThreadingHTTPServer):
    """Each accepted connection is wrapped in TLS; the handshake runs in the
    connection's own thread, so a client that stalls holds up nobody."""

    def __init__(self, address, handler, context):
        self.context = context
        super().__init__(address, handler)

    def finish_request(self, request, client_address):
        request.settimeout(30)
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (OSError, ssl.SSLError):
            return
        try:
            self.RequestHandlerClass(tls, client_address, self)
        finally:
            try:
                tls.close()
            except OSError:
                pass


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert, key)
    return context


def make_server(host="127.0.0.1", port=0, record=None, mode_file=None, mode="answer 0",
                verbose=False, tls_cert=None, tls_key=None, context=None):
    """A stand-in server bound to (host, port), not yet serving; https with
    the given certificate or TLS context."""
    if tls_cert:
        context = tls_context(tls_cert, tls_key)
    if context:
        server = TlsServer((host, port), Handler, context)
    else:
        server = ThreadingHTTPServer((host, port), Handler)
    server.daemon_threads = True
    server.record = record
    server.mode_file = mode_file
    server.default_mode = mode
    server.verbose = verbose
    return server


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--port-file")
    ap.add_argument("--record")
    ap.add_argument("--mode-file")
    ap.add_argument("--mode", default="answer 0")
    ap.add_argument("--verbose", action="store_true")
    ap.add_argument("--tls-cert", help="serve https with this PEM chain (leaf first)")
    ap.add_argument("--tls-key", help="the PEM private key of --tls-cert")
    args = ap.parse_args()
    if args.host not in ("127.0.0.1", "localhost", "::1"):
        sys.exit("dedu_server: serves loopback only")
    if bool(args.tls_cert) != bool(args.tls_key):
        sys.exit("dedu_server: --tls-cert and --tls-key go together")

    server = make_server(args.host, args.port, args.record, args.mode_file, args.mode,
                         args.verbose, args.tls_cert, args.tls_key)
    port = server.server_address[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    scheme = "https" if args.tls_cert else "http"
    print("dedu_server: %s://%s:%d%s" % (scheme, args.host, port, SERVICE_PATH), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
