"""A local HTTP server for the tests: serves the files of a folder, and misbehaves on request.

Usage: http_server.py FOLDER. Prints "port N" on its first line, then "GET PATH" for every
request it receives, so that a test can wait for a request instead of sleeping.

For a path P, a file P.redirect in the folder makes the server answer with a redirect to the
address that file holds, and a file P.slow makes it serve that file's bytes under P, announced
with their full length but sent one every half second.
"""

import functools
import http.server
import os
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass

    def do_GET(self):
        print("GET " + self.path, flush=True)
        local = self.translate_path(self.path)
        if os.path.isfile(local + ".redirect"):
            with open(local + ".redirect") as f:
                location = f.read().strip()
            self.send_response(302)
            self.send_header("Location", location)
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif os.path.isfile(local + ".slow"):
            with open(local + ".slow", "rb") as f:
                self.trickle(f.read())
        else:
            super().do_GET()

    def trickle(self, body):
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            for byte in body:
                self.wfile.write(bytes([byte]))
                self.wfile.flush()
                time.sleep(0.5)
        except (BrokenPipeError, ConnectionResetError):
            pass


def main():
    handler = functools.partial(Handler, directory=sys.argv[1])
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    print("port %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
