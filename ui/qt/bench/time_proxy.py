#!/usr/bin/env python3
"""An HTTP proxy for the start-up benchmark that answers every request itself with a Date header,
at once or after the milliseconds given as its first argument; a web server as well, for requests
sent to it directly. Listens on 127.0.0.1 at the port given as its second argument, or any free
one. Prints the port it listens on, then serves until killed."""
import http.server
import sys
import time

delay = float(sys.argv[1]) / 1000 if len(sys.argv) > 1 else 0


class Answer(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        if delay:
            time.sleep(delay)
        self.send_response(200)  # adds the Date header
        self.send_header("Content-Length", "0")
        self.end_headers()

    do_GET = do_POST = do_HEAD = answer

    def log_message(self, *args):
        pass


port = int(sys.argv[2]) if len(sys.argv) > 2 else 0
server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Answer)
print(server.server_address[1], flush=True)
sys.stdout.close()
server.serve_forever()
