#!/usr/bin/python3
"""HTTP server for download tests: serves a folder and misbehaves on request.

usage: http_test_server.py [--tls PEM] ROOT

Binds 127.0.0.1 on a free port and prints that port on the first line of standard
output once it accepts connections. Runs until it is terminated. With --tls it
speaks HTTPS with the certificate and key in PEM (self_signed_tls.pem is one that
no client trusts).

Routes (N, TOTAL, SENT, CHUNK, MS are decimal numbers; bodies are the pattern
bytes  i % 251  for i = 0, 1, ... unless said otherwise):
  /status/N                 status N, Content-Length, body "status N body"
  /nolength/N               N pattern bytes, no Content-Length, connection closed
  /chunked/N                N pattern bytes in chunked transfer encoding
  /drop/TOTAL/SENT          announces TOTAL bytes, sends SENT, closes the connection
  /stall/TOTAL/SENT         announces TOTAL bytes, sends SENT, then stays silent
  /silent                   accepts the request and never answers
  /slow/TOTAL/CHUNK/MS      TOTAL bytes, CHUNK bytes every MS milliseconds
  /redirect/N?to=PATH       status N (301, 302, 303, 307, 308) with Location PATH
  /headers                  the request line and headers as the body (text/plain)
  /pattern/N                N pattern bytes with Content-Length
  anything else             the file under ROOT (GET and HEAD), or 404
"""

import http.server
import socket
import ssl
import sys
import time
import urllib.parse

# A silent or stalling route waits at most this long; the test has given up by then.
SILENCE_LIMIT_SECONDS = 120


PERIOD = 251
BASE = bytes(range(PERIOD))


def pattern(start, count):
    offset = start % PERIOD
    return (BASE * ((offset + count) // PERIOD + 1))[offset:offset + count]


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        parts = [p for p in url.path.split("/") if p]
        route = getattr(self, "route_" + parts[0], None) if parts else None
        if route is None:
            return super().do_GET()
        try:
            numbers = [int(p) for p in parts[1:]]
        except ValueError:
            self.send_error(400, "numbers expected")
            return
        try:
            route(*numbers, query=urllib.parse.parse_qs(url.query))
        except TypeError:
            self.send_error(400, "wrong number of arguments")
        except (BrokenPipeError, ConnectionResetError):
            pass

    def send_head_with(self, status, length=None, content_type="application/octet-stream",
                       extra=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        if length is not None:
            self.send_header("Content-Length", str(length))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()

    def send_pattern(self, start, count, step=256 * 1024):
        sent = 0
        while sent < count:
            n = min(step, count - sent)
            self.wfile.write(pattern(start + sent, n))
            sent += n
        self.wfile.flush()

    def close_now(self):
        self.close_connection = True
        self.wfile.flush()
        self.connection.shutdown(2)

    def stay_silent(self):
        self.wfile.flush()
        self.connection.settimeout(1.0)
        deadline = time.monotonic() + SILENCE_LIMIT_SECONDS
        while time.monotonic() < deadline:
            try:
                if self.connection.recv(4096) == b"":
                    break  # the client has gone away
            except socket.timeout:
                pass
        self.close_connection = True

    def route_status(self, status, query):
        body = ("status %d body" % status).encode()
        self.send_head_with(status, len(body), "text/plain")
        self.wfile.write(body)

    def route_pattern(self, count, query):
        self.send_head_with(200, count)
        self.send_pattern(0, count)

    def route_nolength(self, count, query):
        self.send_head_with(200, None, extra=[("Connection", "close")])
        self.send_pattern(0, count)
        self.close_connection = True

    def route_chunked(self, count, query):
        self.send_head_with(200, None, extra=[("Transfer-Encoding", "chunked")])
        sent = 0
        while sent < count:
            n = min(10000, count - sent)
            self.wfile.write(b"%x\r\n" % n + pattern(sent, n) + b"\r\n")
            sent += n
        self.wfile.write(b"0\r\n\r\n")

    def route_drop(self, total, sent, query):
        self.send_head_with(200, total)
        self.send_pattern(0, sent)
        self.close_now()

    def route_stall(self, total, sent, query):
        self.send_head_with(200, total)
        self.send_pattern(0, sent)
        self.stay_silent()

    def route_silent(self, query):
        self.stay_silent()

    def route_slow(self, total, chunk, interval_ms, query):
        self.send_head_with(200, total)
        sent = 0
        while sent < total:
            n = min(max(chunk, 1), total - sent)
            self.send_pattern(sent, n)
            sent += n
            if sent < total:
                time.sleep(interval_ms / 1000.0)

    def route_redirect(self, status, query):
        target = query.get("to", ["/"])[0]
        self.send_head_with(status, 0, "text/plain", extra=[("Location", target)])

    def route_headers(self, query):
        lines = [self.requestline] + ["%s: %s" % item for item in self.headers.items()]
        body = ("\r\n".join(lines) + "\r\n").encode("latin-1")
        self.send_head_with(200, len(body), "text/plain")
        self.wfile.write(body)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def main():
    args = sys.argv[1:]
    pem = None
    if len(args) == 3 and args[0] == "--tls":
        pem = args[1]
        args = args[2:]
    if len(args) != 1:
        sys.stderr.write("usage: http_test_server.py [--tls PEM] ROOT\n")
        return 2
    root = args[0]
    server = Server(("127.0.0.1", 0),
                    lambda *handler_args: Handler(*handler_args, directory=root))
    if pem:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(pem)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    sys.stdout.write("%d\n" % server.server_address[1])
    sys.stdout.flush()
    server.serve_forever()
    return 0


if __name__ == "__main__":
    sys.exit(main())
