#!/usr/bin/env python3
"""A small HTTP server on 127.0.0.1 for the update check's Wine tests.

  /body/HEX   the bytes HEX encodes, as the whole body
  /big/N      N bytes: a valid version line padded with 'y'
  /slow       headers and a first 128-byte chunk at once, then one 128-byte chunk
              every 2 s (five at most), so a reader is caught between chunks
Writes the port it listens on to the file given as its only argument.
"""
import http.server
import sys
import time


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def send_body(self, body, length=None):
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def do_GET(self):
        parts = self.path.strip("/").split("/")
        if parts[0] == "body" and len(parts) == 2:
            self.send_body(bytes.fromhex(parts[1]))
        elif parts[0] == "big" and len(parts) == 2:
            head = b"PLONK! 9 http://127.0.0.1/"
            self.send_body(head + b"y" * (int(parts[1]) - len(head)))
        elif parts[0] == "slow":
            first = b"PLONK! 9 http://127.0.0.1/".ljust(128, b"z")
            self.send_body(first, length=128 * 6)
            try:
                for _ in range(5):
                    time.sleep(2)
                    self.wfile.write(b"z" * 128)
                    self.wfile.flush()
            except OSError:
                pass
        else:
            self.send_error(404)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
with open(sys.argv[1], "w") as out:
    out.write(str(server.server_address[1]))
server.serve_forever()
