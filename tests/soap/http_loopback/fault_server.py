#!/usr/bin/env python3
"""A loopback HTTP server that misbehaves on request, for the transport's
integration tests. The request path chooses the behaviour (see ROUTES).
Prints the port it listens on as the first line of stdout, then serves
until killed. Every request it reads is kept; GET /_log returns the count
of requests seen so far, per path."""
import socket
import socketserver
import sys
import threading
import time

counts = {}
counts_lock = threading.Lock()
connection_ids = iter(range(1, 1 << 30))


def read_request(conn, pending):
    """Reads one request (head and Content-Length body). Returns
    (raw bytes, path, leftover) or None when the peer closed."""
    while b"\r\n\r\n" not in pending:
        data = conn.recv(65536)
        if not data:
            return None
        pending += data
    head_end = pending.index(b"\r\n\r\n") + 4
    head = pending[:head_end]
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(pending) < head_end + length:
        data = conn.recv(65536)
        if not data:
            return None
        pending += data
    raw = pending[:head_end + length]
    path = head.split(b" ")[1].decode("latin-1")
    return raw, path, pending[head_end + length:]


def sized(status, body, extra=b""):
    return (b"HTTP/1.1 " + status + b"\r\nContent-Length: " + str(len(body)).encode() +
            b"\r\n" + extra + b"\r\n" + body)


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        conn = self.request
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        conn_id = next(connection_ids)
        pending = b""
        try:
            while True:
                got = read_request(conn, pending)
                if got is None:
                    return
                raw, path, pending = got
                base = path.split("?")[0]
                with counts_lock:
                    counts[base] = counts.get(base, 0) + 1
                keep_open = self.answer(conn, raw, path, base, conn_id)
                if not keep_open:
                    return
        except (ConnectionError, OSError):
            return

    def answer(self, conn, raw, path, base, conn_id):
        """Sends the reply for `path`; returns whether the connection stays open."""
        send = conn.sendall
        if base == "/_log":
            with counts_lock:
                text = "\n".join(f"{k} {v}" for k, v in sorted(counts.items()))
            send(sized(b"200 OK", text.encode()))
        elif base == "/echo":                      # the request exactly as received
            send(sized(b"200 OK", raw))
        elif base == "/conn":                      # which connection carried the request
            send(sized(b"200 OK", str(conn_id).encode()))
        elif base == "/conn-close":
            send(sized(b"200 OK", str(conn_id).encode(), b"Connection: close\r\n"))
            return False
        elif base == "/small":                     # the benchmark's 200-byte reply
            send(sized(b"200 OK", b"r" * 200, b"Content-Type: text/xml; charset=utf-8\r\n"))
        elif base == "/chunked":
            send(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 999\r\n\r\n"
                 b"6\r\nchunk-\r\n7\r\ndecoded\r\n0\r\n\r\n")
        elif base == "/chunked-trailer":
            send(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: X-Checksum\r\n\r\n")
            time.sleep(0.05)
            send(b"5\r\nfirst\r\n")
            time.sleep(0.05)
            send(b"6\r\nsecond\r\n0\r\nX-Checksum: abc123\r\n\r\n")
        elif base == "/chunked-capital":           # not taken as chunked: read to the close
            send(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n")
            return False
        elif base == "/continue":
            send(b"HTTP/1.1 100 Continue\r\n\r\n")
            time.sleep(0.05)
            send(sized(b"200 OK", b"after continue"))
        elif base == "/dup":
            send(b"HTTP/1.1 200 OK\r\nX-Dup: 1\r\nx-dup: 2\r\nContent-Length: 2\r\n\r\nok")
        elif base == "/until-close":
            send(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n")
            send(b"body without length, ended by the close")
            return False
        elif base == "/auth":
            send(sized(b"401 Unauthorized", b"no", b"WWW-Authenticate: Basic realm=\"torvane\"\r\n"))
        elif base.startswith("/status/"):
            code = base[len("/status/"):].encode()
            send(sized(code + b" Status", b"s" + code))
        elif base == "/redirect-abs":
            port = conn.getsockname()[1]
            send(sized(b"302 Found", b"", f"Location: http://127.0.0.1:{port}/echo?from=abs\r\n".encode()))
        elif base.endswith("/redirect-rel"):
            send(sized(b"301 Moved", b"", b"Location: echo?from=rel\r\n"))
        elif base == "/redirect-close":
            send(sized(b"303 See Other", b"", b"Location: /conn \r\nConnection: close\r\n"))
            return False
        elif base == "/redirect-none":
            send(sized(b"302 Found", b"nowhere"))
        elif base == "/redirect-loop":
            send(sized(b"302 Found", b"", b"Location: /redirect-loop\r\n"))
        elif base == "/redirect-host":             # same server, another host name
            port = conn.getsockname()[1]
            send(sized(b"302 Found", b"", f"Location: http://localhost:{port}/foreign\r\n".encode()))
        elif base == "/redirect-https":
            send(sized(b"302 Found", b"", b"Location: https://127.0.0.1/x\r\n"))
        elif base == "/stall":                     # accepts, reads, never answers
            while conn.recv(4096):
                pass
            return False
        elif base == "/stall-body":
            send(b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part")
            while conn.recv(4096):
                pass
            return False
        elif base in ("/trickle", "/trickle-body"):  # one byte every 0.25 s, never done
            if base == "/trickle-body":
                send(b"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n")
            else:
                send(b"HTTP/1.1 200 OK\r\n")
            while True:
                time.sleep(0.25)
                send(b"x" if base == "/trickle-body" else b"X")
        elif base == "/short-body":                # closes before its Content-Length
            send(b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten b")
            return False
        elif base == "/short-chunk":
            send(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nonly part")
            return False
        elif base == "/huge-length":
            send(b"HTTP/1.1 200 OK\r\nContent-Length: 999999999999999\r\n\r\nabc")
            while conn.recv(4096):
                pass
            return False
        elif base == "/huge-chunk":
            send(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFF\r\nabc")
            while conn.recv(4096):
                pass
            return False
        elif base == "/endless-head":
            send(b"HTTP/1.1 200 OK\r\n")
            line = b"X-Filler: " + b"f" * 100 + b"\r\n"
            while True:
                send(line * 100)
        elif base == "/endless-body":
            send(b"HTTP/1.1 200 OK\r\n\r\n")
            block = b"b" * 65536
            while True:
                send(block)
        elif base == "/garbage":
            send(b"SSH-2.0-OpenSSH_9.0\r\nnot http at all\r\n\r\n")
            return False
        else:
            send(sized(b"404 Not Found", b"unknown path " + base.encode()))
        return True


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128


def main():
    server = Server(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
