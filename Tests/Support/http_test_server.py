#!/usr/bin/env python3
"""A loopback HTTP/1.1 server for the HTTP client's tests, with well-behaved
and hostile endpoints. Binds 127.0.0.1 on a free port and prints the port on
its first line of output; with --cert and --key it speaks TLS.

Usage: http_test_server.py [--cert CERT.pem --key KEY.pem]
"""
import argparse
import gzip
import http.server
import socket
import ssl
import sys
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if status != 204:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def head_only(self, status, headers):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.flush()

    def cut(self):
        self.wfile.flush()
        self.connection.shutdown(socket.SHUT_RDWR)
        self.close_connection = True

    def do_GET(self):
        path, _, query = self.path.partition("?")
        parts = path.strip("/").split("/")
        name, arg = parts[0], (parts[1] if len(parts) > 1 else "")
        if name == "status":
            code = int(arg)
            self.reply(code, b"error page" if code >= 400 else b"")
        elif name == "text":
            self.reply(200, b"hello", [("Content-Type", "text/plain")])
        elif name == "redirect":
            n = int(arg)
            if n == 0:
                self.reply(200, b"arrived")
            else:
                self.reply(302, b"moving", [("Location", "/redirect/%d" % (n - 1))])
        elif name == "loop":
            self.reply(302, b"", [("Location", "/loop")])
        elif name == "redirect-ftp":
            self.reply(302, b"", [("Location", "ftp://127.0.0.1/file")])
        elif name == "gzip":
            body = ("accept-encoding=" + self.headers.get("Accept-Encoding", "")).encode()
            self.reply(200, gzip.compress(body), [("Content-Encoding", "gzip")])
        elif name == "corrupt-gzip":
            self.reply(200, b"\x1f\x8b\x08\x00garbage that is not deflate" * 4, [("Content-Encoding", "gzip")])
        elif name == "chunked":
            self.head_only(200, [("Transfer-Encoding", "chunked")])
            for piece in (b"one,", b"two,", b"three"):
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                self.wfile.flush()
            self.wfile.write(b"0\r\n\r\n")
        elif name == "cut":
            self.head_only(200, [("Content-Length", "1000")])
            self.wfile.write(b"0123456789")
            self.cut()
        elif name == "cut-chunked":
            self.head_only(200, [("Transfer-Encoding", "chunked")])
            self.wfile.write(b"100\r\nonly a few bytes")
            self.cut()
        elif name == "drip":
            # One byte every two seconds: alive, but slower than any idle limit allows.
            self.head_only(200, [("Content-Length", "100")])
            try:
                for _ in range(100):
                    self.wfile.write(b"x")
                    self.wfile.flush()
                    time.sleep(2)
            except OSError:
                pass
            self.close_connection = True
        elif name == "bytes":
            self.reply(200, b"b" * int(arg))
        elif name == "bytes-chunked":
            self.head_only(200, [("Transfer-Encoding", "chunked")])
            remaining = int(arg)
            try:
                while remaining > 0:
                    piece = b"c" * min(remaining, 1024)
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                    remaining -= len(piece)
                self.wfile.write(b"0\r\n\r\n")
            except OSError:
                self.close_connection = True
        elif name == "huge-length":
            self.head_only(200, [("Content-Length", str(1 << 40))])
            try:
                self.wfile.write(b"h" * 4096)
                self.wfile.flush()
            except OSError:
                pass
            self.cut()
        elif name == "port":
            self.reply(200, str(self.client_address[1]).encode())
        elif name == "set-cookie":
            self.reply(200, b"set", [("Set-Cookie", "session=abc123; Path=/")])
        elif name == "cookie":
            self.reply(200, self.headers.get("Cookie", "").encode())
        elif name == "slow":
            time.sleep(0.3)
            self.reply(200, b"slow")
        else:
            self.reply(404, b"no such endpoint")


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 128  # many clients connect at once

    def handle_error(self, request, client_address):
        pass  # clients that hang up early are part of the tests


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert")
    parser.add_argument("--key")
    options = parser.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    if options.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(options.cert, options.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
