#!/usr/bin/env python3
"""Loopback servers for the tests (the downloader, the updater fetch), started and stopped by
CTest around the tests that need them (tests/support/LoopbackServer.h is the tests' side).

    loopback_server.py start STATE   starts the servers, waits until they listen, writes
                                     STATE/ports.txt
    loopback_server.py stop STATE    stops them

Three servers on 127.0.0.1, each on a free port:
  http   answers each case on purpose, chosen by the path /<token>/<mode>[/<size>[/<extra>]],
         and records the raw request headers per token (GET /<token>/log returns them). A mode
         is a method route_<mode>(token, size, extra) of Handler; size and extra default to 0;
  https  the same behind TLS with a self-signed certificate made at start (GET /tls-count on the
         http server tells how many TLS client hellos it has seen);
  nginx  serves STATE/www, for the cases where a real server's behaviour is the point.

Body byte i of every generated file is (i % 251) ^ ((i // 251) & 255), so that a piece written
at the wrong place never matches; the tests compute the same bytes. A file that has versions (the
modes etag, modified, weaketag, ignoresifrange) XORs each byte with its version, so that a piece
of another version never matches either. A file of the test's own (a program to fetch) is served
by the mode "given" from STATE/given/<token>, where the test wrote it.
"""
import http.server
import os
import shutil
import signal
import socket
import socketserver
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse
from email.utils import formatdate

IDLE_EXIT_SECONDS = 900
PIECE = 4096
CHUNK = 1000
NGINX_FILE_SIZE = 40960
# Version n of a versioned file was last modified n days after this (Wed, 01 Jan 2020).
VERSION_DATES_FROM = 1577836800
# How long a stalled answer holds a client that never gives up.
STALL_SECONDS = 60


def body_bytes(first, end, version=0):
    return bytes((i % 251) ^ ((i // 251) & 255) ^ version for i in range(first, end))


class RecordingReader:
    """Keeps the raw lines of the request head, CR LF included, as the client sent them."""

    def __init__(self, stream):
        self.stream = stream
        self.lines = []

    def readline(self, limit=-1):
        line = self.stream.readline(limit)
        self.lines.append(line)
        return line

    def __getattr__(self, name):
        return getattr(self.stream, name)


class State:
    folder = ""
    lock = threading.Lock()
    requests = {}
    tls_hellos = 0
    last_request = time.monotonic()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        super().setup()
        self.rfile = RecordingReader(self.rfile)

    def log_message(self, *args):
        pass

    def do_GET(self):
        raw = b"".join(self.rfile.lines).decode("latin-1")
        self.rfile.lines = []
        State.last_request = time.monotonic()
        parts = self.path.split("?", 1)[0].strip("/").split("/")
        if parts == ["tls-count"]:
            return self.send_text(200, str(State.tls_hellos))
        token = parts[0]
        if len(parts) == 2 and parts[1] == "log":
            with State.lock:
                log = list(State.requests.get(token, []))
            return self.send_text(200, "\n=====\n".join(log))
        with State.lock:
            State.requests.setdefault(token, []).append(raw)
        if len(parts) < 2:
            return self.send_text(400, "bad path")
        mode = parts[1]
        numbers = [int(part) for part in parts[2:4]] + [0, 0]
        size, extra = numbers[0], numbers[1]
        route = getattr(self, "route_" + mode, None)
        if route is None:
            return self.send_text(400, "unknown mode")
        try:
            route(token, size, extra)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    # --- helpers ---------------------------------------------------------------------------
    def send_text(self, status, text, extra_headers=()):
        data = text.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        for name, value in extra_headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def range_start(self):
        value = self.headers.get("Range")
        if not value or not value.startswith("bytes=") or not value.endswith("-"):
            return None
        return int(value[len("bytes="):-1])

    def query(self):
        return urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)

    def option(self, name):
        """A number from the query string (?delay=10), 0 when absent."""
        return int(self.query().get(name, ["0"])[0])

    def send_body(self, first, end, delay=0.0, stop_at=None, version=0):
        position = first
        while position < end:
            piece_end = min(end, position + PIECE)
            if stop_at is not None and position < stop_at <= piece_end:
                self.wfile.write(body_bytes(position, stop_at, version))
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_RDWR)
                self.close_connection = True
                return
            self.wfile.write(body_bytes(position, piece_end, version))
            position = piece_end
            if delay:
                self.wfile.flush()
                time.sleep(delay)

    def send_file(self, size, first, status, range_header=None, length=None, delay=0.0,
                  stop_at=None, version=0, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size - first if length is None else length))
        if range_header:
            self.send_header("Content-Range", range_header)
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.send_body(first, size, delay, stop_at, version)

    def ranged(self, size, delay=0.0, stop_at=None, body_416=False, version=0, headers=(),
               whole=False):
        """The file, or the rest of it from the Range asked for; all of it when whole."""
        start = None if whole else self.range_start()
        if start is None:
            return self.send_file(size, 0, 200, delay=delay, stop_at=stop_at, version=version,
                                  headers=headers)
        if start >= size:
            text = ("<html>\r\n<head><title>416 Requested Range Not Satisfiable</title></head>\r\n"
                    "<body>\r\n<center><h1>416 Requested Range Not Satisfiable</h1></center>\r\n"
                    "</body>\r\n</html>\r\n") if body_416 else ""
            return self.send_text(416, text,
                                  [("Content-Range", "bytes */%d" % size)] + list(headers))
        return self.send_file(size, start, 206, "bytes %d-%d/%d" % (start, size - 1, size),
                              delay=delay, stop_at=stop_at, version=version, headers=headers)

    def versioned(self, size, version, etag=True, weak=False, honour_if_range=True):
        """Version `version` of a file, named by a Last-Modified date and, with etag, an ETag.
        A Range is served only when If-Range, if sent, names this version (a weak tag never
        does); otherwise the whole file comes, as for a file that changed. ?delay=ms slows it."""
        tag = '"v%d"' % version
        date = formatdate(VERSION_DATES_FROM + version * 86400, usegmt=True)
        headers = [("Last-Modified", date)]
        if etag:
            headers.append(("ETag", "W/" + tag if weak else tag))
        condition = self.headers.get("If-Range")
        names_this = condition is None or condition == date or (condition == tag and not weak)
        self.ranged(size, delay=self.option("delay") / 1000.0, version=version, headers=headers,
                    whole=honour_if_range and not names_this)

    # --- the cases, one per mode ----------------------------------------------------------
    def route_file(self, token, size, extra):
        self.ranged(size)

    def route_file416body(self, token, size, extra):
        self.ranged(size, body_416=True)

    def route_slow(self, token, size, extra):
        self.ranged(size, delay=extra / 1000.0)

    def route_drop(self, token, size, extra):
        self.ranged(size, stop_at=extra)

    def route_ignorerange(self, token, size, extra):
        self.send_file(size, 0, 200)

    def route_nolength(self, token, size, extra):
        self.send_response(200)
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        self.send_body(0, size)

    def route_wrongoffset(self, token, size, extra):
        start = (self.range_start() or 0) + extra
        self.send_file(size, start, 206, "bytes %d-%d/%d" % (start, size - 1, size))

    def route_part(self, token, size, extra):
        start = self.range_start() or 0
        end = min(size, start + extra)
        self.send_response(206)
        self.send_header("Content-Length", str(end - start))
        self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end - 1, size))
        self.end_headers()
        self.send_body(start, end)

    def route_status(self, token, size, extra):
        self.send_text(extra, "status %d\n" % extra)

    def route_redirect(self, token, size, extra):
        self.send_text(302, "moved", [("Location", "/%s/file/%d" % (token, size))])

    def route_chunked(self, token, size, extra):
        """Chunked framing without a length; the last chunk only when extra is 1."""
        self.send_response(200)
        self.send_header("Transfer-Encoding", "chunked")
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        for first in range(0, size, CHUNK):
            piece = body_bytes(first, min(size, first + CHUNK))
            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
        if extra == 1:
            self.wfile.write(b"0\r\n\r\n")

    def route_etag(self, token, size, extra):
        self.versioned(size, extra)

    def route_modified(self, token, size, extra):
        self.versioned(size, extra, etag=False)

    def route_weaketag(self, token, size, extra):
        self.versioned(size, extra, weak=True)

    def route_ignoresifrange(self, token, size, extra):
        self.versioned(size, extra, honour_if_range=False)

    def route_answer(self, token, size, extra):
        """Status extra with the headers of the query (h=Name: value, repeated), then size bytes
        of the file from where the range asked for starts; the connection's close ends them."""
        start = self.range_start() or 0
        self.send_response(extra)
        for header in self.query().get("h", []):
            name, value = header.split(":", 1)
            self.send_header(name, value.strip())
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        self.send_body(start, start + size)

    def route_stall(self, token, size, extra):
        """Takes the request and never answers; lets go when the client does."""
        self.connection.settimeout(STALL_SECONDS)
        try:
            self.connection.recv(1)
        except OSError:
            pass
        self.close_connection = True

    def route_trickle(self, token, size, extra):
        """Announces size bytes, then sends one every extra milliseconds."""
        self.send_file(0, 0, 200, length=size)
        for position in range(size):
            self.wfile.write(body_bytes(position, position + 1))
            time.sleep(extra / 1000.0)

    def route_announce(self, token, size, extra):
        """Announces size bytes and sends none."""
        self.send_file(0, 0, 200, length=size)
        self.close_connection = True

    def route_given(self, token, size, extra):
        """The test's own file, whole, with its length."""
        try:
            with open(os.path.join(State.folder, "given", token), "rb") as f:
                data = f.read()
        except OSError:
            return self.send_text(404, "no file given")
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class TlsServer(Server):
    def __init__(self, address, handler, context):
        super().__init__(address, handler)
        self.context = context

    def get_request(self):
        connection, address = self.socket.accept()
        connection.settimeout(5)
        try:
            if connection.recv(1, socket.MSG_PEEK) == b"\x16":  # a TLS handshake record
                with State.lock:
                    State.tls_hellos += 1
            return self.context.wrap_socket(connection, server_side=True), address
        except (OSError, ssl.SSLError):
            connection.close()
            raise OSError("TLS handshake refused")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def make_certificate(state):
    cert, key = os.path.join(state, "cert.pem"), os.path.join(state, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def start_nginx(state):
    www = os.path.join(state, "www")
    os.makedirs(www, exist_ok=True)
    with open(os.path.join(www, "nginx.bin"), "wb") as f:
        f.write(os.urandom(NGINX_FILE_SIZE))
    port = free_port()
    temp = os.path.join(state, "nginx-temp")
    os.makedirs(temp, exist_ok=True)
    conf = os.path.join(state, "nginx.conf")
    with open(conf, "w") as f:
        f.write("""daemon on; worker_processes 1; user root;
pid %(s)s/nginx.pid; error_log %(s)s/nginx-error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path %(t)s/body; proxy_temp_path %(t)s/proxy; fastcgi_temp_path %(t)s/fastcgi;
  uwsgi_temp_path %(t)s/uwsgi; scgi_temp_path %(t)s/scgi;
  server { listen 127.0.0.1:%(p)d; root %(w)s; }
}
""" % {"s": state, "t": temp, "p": port, "w": www})
    error_log = os.path.join(state, "nginx-error.log")
    subprocess.run(["nginx", "-c", conf, "-p", state, "-e", error_log],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return port


def serve(state):
    State.folder = state
    http_server = Server(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(*make_certificate(state))
    tls_server = TlsServer(("127.0.0.1", 0), Handler, context)
    for server in (http_server, tls_server):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    nginx_port = start_nginx(state)
    ports = "http=%d\nhttps=%d\nnginx=%d\n" % (http_server.server_address[1],
                                               tls_server.server_address[1], nginx_port)
    with open(os.path.join(state, "ports.tmp"), "w") as f:
        f.write(ports)
    os.replace(os.path.join(state, "ports.tmp"), os.path.join(state, "ports.txt"))
    # Never outlive the tests by much, even when nobody runs the stop command.
    while time.monotonic() - State.last_request < IDLE_EXIT_SECONDS:
        time.sleep(1)
    stop_nginx(state)


def stop_nginx(state):
    try:
        with open(os.path.join(state, "nginx.pid")) as f:
            os.kill(int(f.read().strip()), signal.SIGQUIT)
    except (OSError, ValueError):
        pass


def start(state):
    stop(state)
    shutil.rmtree(os.path.join(state, "given"), ignore_errors=True)
    os.makedirs(os.path.join(state, "given"), exist_ok=True)
    log = open(os.path.join(state, "server.log"), "w")
    # Detached, with no handle on CTest's output pipe, or CTest would wait for it.
    process = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", state],
                               stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                               start_new_session=True)
    with open(os.path.join(state, "server.pid"), "w") as f:
        f.write(str(process.pid))
    deadline = time.monotonic() + 20
    while not os.path.exists(os.path.join(state, "ports.txt")):
        if process.poll() is not None or time.monotonic() > deadline:
            print("test servers did not start; see", os.path.join(state, "server.log"))
            return 1
        time.sleep(0.05)
    print(open(os.path.join(state, "ports.txt")).read(), end="")
    return 0


def stop(state):
    stop_nginx(state)
    try:
        with open(os.path.join(state, "server.pid")) as f:
            os.kill(int(f.read().strip()), signal.SIGTERM)
    except (OSError, ValueError):
        pass
    for name in ("ports.txt", "server.pid", "nginx.pid"):
        try:
            os.remove(os.path.join(state, name))
        except OSError:
            pass
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop", "serve"):
        sys.exit(__doc__)
    command, folder = sys.argv[1], os.path.abspath(sys.argv[2])
    if command == "serve":
        serve(folder)
    else:
        sys.exit(start(folder) if command == "start" else stop(folder))
