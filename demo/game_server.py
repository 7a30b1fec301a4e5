#!/usr/bin/env python3
"""The demo's game server: serves the files of one folder over HTTP on a free loopback port.

    game_server.py ROOT READY LOG [--rate BYTES_PER_SECOND]

Answers GET and HEAD for the files directly in ROOT, honours "Range: bytes=N-" and "bytes=N-M"
(206, or 416 past the end) so that a paused download can resume, and sends at most the given
rate on each connection (0: as fast as it can), so that a download of a few tens of MB takes
long enough to watch. Once it listens it writes its address (http://127.0.0.1:PORT/) into READY.
Each request adds two JSON lines to LOG: one when it arrives (method, path, Range header) and one
when it ends (status, first byte, bytes sent, whether the whole answer went out). Stops on
SIGTERM, or by itself after a long idle time so that it never outlives a demo by much.
"""
import argparse
import http.server
import json
import os
import signal
import socketserver
import sys
import threading
import time

PIECE = 64 * 1024
IDLE_EXIT_SECONDS = 600


class Log:
    lock = threading.Lock()
    path = None
    count = 0
    last_request = time.monotonic()

    @classmethod
    def write(cls, record):
        with cls.lock:
            with open(cls.path, "a", encoding="utf-8") as f:
                f.write(json.dumps(record, ensure_ascii=False) + "\n")

    @classmethod
    def next_request(cls):
        with cls.lock:
            cls.count += 1
            cls.last_request = time.monotonic()
            return cls.count


def parse_range(value, size):
    """(first, last) for "bytes=N-" or "bytes=N-M"; None for no or another kind of range."""
    if not value or not value.startswith("bytes=") or "," in value:
        return None
    first, _, last = value[len("bytes="):].partition("-")
    if not first.isdigit() or (last and not last.isdigit()):
        return None
    first = int(first)
    last = min(int(last), size - 1) if last else size - 1
    return first, last


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."
    rate = 0

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_GET(self):
        self.answer(send_body=True)

    def answer(self, send_body):
        number = Log.next_request()
        Log.write({"request": number, "method": self.command, "path": self.path,
                   "range": self.headers.get("Range")})
        result = {"request": number, "status": 404, "first": 0, "sent": 0, "complete": False}
        try:
            self.serve(send_body, result)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
        finally:
            Log.write(result)

    def serve(self, send_body, result):
        name = self.path.split("?", 1)[0].lstrip("/")
        path = os.path.join(self.root, name)
        # Only the files directly in the folder: no listing, no way out of it.
        if not name or "/" in name or "\\" in name or name.startswith(".") \
                or not os.path.isfile(path):
            return self.send_empty(404, result)
        size = os.path.getsize(path)
        wanted = parse_range(self.headers.get("Range"), size)
        if wanted and wanted[0] >= size:
            return self.send_empty(416, result, [("Content-Range", "bytes */%d" % size)])
        first, last = wanted if wanted else (0, size - 1)
        status = 206 if wanted else 200
        result.update(status=status, first=first)
        self.send_response(status)
        self.send_header("Content-Type", "application/zip")
        self.send_header("Content-Length", str(last - first + 1))
        self.send_header("Accept-Ranges", "bytes")
        if wanted:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, size))
        self.end_headers()
        if send_body:
            self.send_part(path, first, last + 1, result)
        result["complete"] = True

    def send_empty(self, status, result, headers=()):
        result["status"] = status
        self.send_response(status)
        self.send_header("Content-Length", "0")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        result["complete"] = True

    def send_part(self, path, first, end, result):
        started = time.monotonic()
        with open(path, "rb") as f:
            f.seek(first)
            position = first
            while position < end:
                data = f.read(min(PIECE, end - position))
                if not data:
                    raise ConnectionResetError("the file became shorter")
                self.wfile.write(data)
                position += len(data)
                result["sent"] = position - first
                Log.last_request = time.monotonic()
                if self.rate:
                    # Keep to the rate over the whole answer, not per piece.
                    due = started + (position - first) / self.rate
                    time.sleep(max(0.0, due - time.monotonic()))


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root")
    parser.add_argument("ready")
    parser.add_argument("log")
    parser.add_argument("--rate", type=float, default=0)
    args = parser.parse_args(argv)
    Handler.root = os.path.abspath(args.root)
    Handler.rate = max(args.rate, 0)
    Log.path = args.log
    open(Log.path, "w").close()

    server = Server(("127.0.0.1", 0), Handler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    partial = args.ready + ".partial"
    with open(partial, "w") as f:
        f.write("http://127.0.0.1:%d/\n" % server.server_address[1])
    os.replace(partial, args.ready)
    while time.monotonic() - Log.last_request < IDLE_EXIT_SECONDS:
        time.sleep(1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
