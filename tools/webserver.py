#!/usr/bin/python3
"""The local stack's web server: serves one folder over HTTP, one thread a request.

Python's own `http.server` keeps a queue of five waiting connections; the vehicle window asks for
its ten thumbnails at once, and connections beyond the queue would wait for the client's
one-second retry. Office web servers take far more; so does this one.

    webserver.py --port P --directory DIR
"""
import argparse
import functools
import http.server


class Server(http.server.ThreadingHTTPServer):
    request_queue_size = 128
    daemon_threads = True


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--directory", required=True)
    args = parser.parse_args()
    handler = functools.partial(Handler, directory=args.directory)
    with Server(("127.0.0.1", args.port), handler) as server:
        server.serve_forever()


if __name__ == "__main__":
    main()
