#!/usr/bin/env python3
"""loopback_server.py start|stop STATE: the servers CTest starts for the tests that need them
(LoopbackServer.h is the tests' side), on 127.0.0.1, their ports in STATE/ports.txt:
  http   answers /<token>/<mode>[/<size>[/<extra>]][?options] with Handler.route_<mode>, and
         appends the raw head of each request to STATE/log/<token>;
  https  the same behind TLS with a certificate made at start; each TLS client hello it sees
         adds a byte to STATE/tls-hellos;
  nginx  serves STATE/www, for the cases where a real server's behaviour is the point.
Byte i of every file made up is (i % 251) ^ ((i // 251) & 255), XORed with the file's version, so
that a piece written at the wrong place or of another version never matches.
"""
import http.server, itertools, os, select, shutil, signal, socket, socketserver, ssl, subprocess
import sys, threading, time, urllib.parse
from email.utils import formatdate


# The pattern repeats every 251 * 256 bytes: made once, it is sliced for every body, so that files
# of many MiB come as fast as the tests need them.
PATTERN = bytes((i % 251) ^ ((i // 251) & 255) for i in range(251 * 256))
XOR = [bytes(b ^ version for b in range(256)) for version in range(256)]


def body_bytes(first, end, version=0):
    out = bytearray()
    while first < end:
        at = first % len(PATTERN)
        take = min(end - first, len(PATTERN) - at)
        out += PATTERN[at:at + take]
        first += take
    return bytes(out).translate(XOR[version & 255])


class State:
    folder = ""
    lock = threading.Lock()
    last_request = time.monotonic()
    serving = {}  # token -> requests being answered


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # its log goes to STATE/server.log

    def setup(self):
        # Keeps the raw lines of the request head, CR LF included, as the client sent them.
        super().setup()
        readline, self.head = self.rfile.readline, []
        self.rfile.readline = lambda *limit: self.head.append(readline(*limit)) or self.head[-1]

    def do_GET(self):
        State.last_request = time.monotonic()
        url = urllib.parse.urlsplit(self.path)
        self.query = urllib.parse.parse_qs(url.query)
        token, mode, *numbers = url.path.strip("/").split("/") + [""]
        with State.lock, open(os.path.join(State.folder, "log", token), "ab") as log:
            log.write(b"".join(self.head))
        self.head.clear()
        size, extra = ([int(n) for n in numbers if n.isdigit()] + [0, 0])[:2]
        with State.lock:
            State.serving[token] = State.serving.get(token, 0) + 1
        try:
            getattr(self, "route_" + mode)(token, size, extra)
        finally:
            with State.lock:
                State.serving[token] -= 1

    def option(self, name):
        return self.query.get(name, [""])[0]

    def asked_range(self):
        """The Range asked for, "bytes=N-" or "bytes=N-M", as (N, M or None); None without one."""
        if "Range" not in self.headers:
            return None
        first, _, last = self.headers["Range"][6:].partition("-")
        return int(first), int(last) if last else None

    def range_start(self):
        asked = self.asked_range()
        return asked and asked[0]

    def send_head(self, status, *headers):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()

    def send_body(self, first, end, version=0, delay=0.0, drop=0, stall=0, drip=0.0):
        """Closes the connection after byte `drop` when one is given. After byte `stall` it sends
        nothing more, until the client lets go (or 60 s pass), or with `drip` one byte every
        `drip` seconds."""
        cut = first < drop <= end
        halt = stall if first < stall <= end else (drop if cut else end)
        for position in range(first, halt, 4096):
            self.wfile.write(body_bytes(position, min(halt, position + 4096), version))
            if delay:
                self.wfile.flush()
                time.sleep(delay)
        if cut:
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True
        elif halt != end:
            self.wfile.flush()
            self.close_connection = True
            for position in range(halt, end if drip else halt):
                if select.select([self.connection], [], [], drip)[0]:
                    return  # the client closed the connection
                self.wfile.write(body_bytes(position, position + 1, version))
                self.wfile.flush()
            select.select([self.connection], [], [], 60)

    # --- the answers, one per mode ---------------------------------------------------------
    def route_file(self, token, size, version):
        """The file, or the range of it asked for (416 from its end on). A version is named by
        Last-Modified and ETag (?tag=weak: a weak one, ?tag=none: none), and a Range is served
        only when If-Range, if sent, names it (a weak tag never does) unless ?ifrange=ignore;
        ?range=ignore serves no Range and says so. ?delay=ms pauses after each piece; ?drop=n
        closes the connection after byte n; ?stall=n goes silent after byte n, or sends a byte
        every ?drip=ms. A request for a closed range (a segment) meets ?segment=: 503, 429 or
        416, reset (the connection closed unanswered), whole (200 and the whole file) or v<n>
        (the file of version n); ?seglen=n answers it with n bytes from the byte asked for.
        ?limit=1 answers 503 while another request of the token is served."""
        asked = self.asked_range()
        segment = self.option("segment") if asked and asked[1] is not None else ""
        if segment in ("503", "429", "416") or (self.option("limit") and self.busy(token)):
            return self.send_head(int(segment or 503), ("Content-Length", "0"),
                                  ("Content-Range", "bytes */%d" % size))
        if segment == "reset":
            self.close_connection = True
            return self.connection.shutdown(socket.SHUT_RDWR)
        if segment.startswith("v"):
            version = int(segment[1:])
        tag, kind, if_range = '"v%d"' % version, self.option("tag"), self.headers.get("If-Range")
        date = formatdate(1577836800 + version * 86400, usegmt=True)  # 1 Jan 2020 + version days
        headers = [("Last-Modified", date)] if version else []
        if version and kind != "none":
            headers.append(("ETag", "W/" + tag if kind == "weak" else tag))
        current = not version or if_range in (None, date) or (if_range == tag and kind != "weak")
        if self.option("range") == "ignore" or segment == "whole" or not (
                current or self.option("ifrange")):
            asked = None
        if self.option("range") != "ignore":
            headers.append(("Accept-Ranges", "bytes"))
        start, end = (asked[0], min(size, (asked[1] if asked[1] is not None else size) + 1)) \
            if asked else (None, size)
        if asked and asked[1] is not None and self.option("seglen"):
            end = min(size, start + int(self.option("seglen")))
        if start is not None and start >= size:
            return self.send_head(416, ("Content-Length", "0"),
                                  ("Content-Range", "bytes */%d" % size), *headers)
        if start is not None:
            headers.append(("Content-Range", "bytes %d-%d/%d" % (start, end - 1, size)))
        self.send_head(200 if start is None else 206,
                       ("Content-Length", str(end - (start or 0))), *headers)
        self.send_body(start or 0, end, version, int(self.option("delay") or 0) / 1000.0,
                       int(self.option("drop") or 0), int(self.option("stall") or 0),
                       int(self.option("drip") or 0) / 1000.0)

    def busy(self, token):
        """Whether another request of the token is being answered (this one counts from now)."""
        with State.lock:
            return State.serving.get(token, 0) > 1

    def route_build(self, token, size, extra):
        """The file of the version in STATE/given/<token> (a number), as route_file serves it:
        the same address with a new build behind it."""
        with open(os.path.join(State.folder, "given", token)) as f:
            self.route_file(token, size, int(f.read()))

    def route_answer(self, token, size, status):
        """The status with the headers of the query (h=Name: value, repeated), then size bytes of
        the file from where the Range asked for starts; the connection's close ends them."""
        start = self.range_start() or 0
        self.send_head(status, *[h.split(": ", 1) for h in self.query.get("h", [])],
                       ("Connection", "close"))
        self.close_connection = True
        self.send_body(start, start + size)

    def route_redirect(self, token, size, extra):
        self.send_head(302, ("Location", "/%s/file/%d" % (token, size)), ("Content-Length", "0"))

    def route_elsewhere(self, token, size, extra):
        """Sends /<token>/elsewhere/<path>?<query> on to /<token>/<path>?<query> under another
        host name of this server."""
        rest = self.path.split("/elsewhere/", 1)[1]
        where = "http://localhost:%d/%s/%s" % (self.server.server_address[1], token, rest)
        self.send_head(302, ("Location", where), ("Content-Length", "0"))

    def route_chunked(self, token, size, last):
        """Chunked framing without a length; the last chunk only when `last` is 1."""
        self.send_head(200, ("Transfer-Encoding", "chunked"), ("Connection", "close"))
        self.close_connection = True
        for first in range(0, size, 1000):
            piece = body_bytes(first, min(size, first + 1000))
            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
        if last == 1:
            self.wfile.write(b"0\r\n\r\n")

    def route_stall(self, token, size, extra):
        """Takes the request and never answers; lets go when the client does (or after 60 s)."""
        select.select([self.connection], [], [], 60)
        self.close_connection = True

    def route_trickle(self, token, size, ms):
        """Announces size bytes, then sends one every ms milliseconds; none without ms."""
        self.send_head(200, ("Content-Length", str(size)))
        self.close_connection = True
        for position in range(size if ms else 0):
            self.wfile.write(body_bytes(position, position + 1))
            time.sleep(ms / 1000.0)

    def route_slowhead(self, token, size, ms):
        """Sends the head of a 200 for size bytes one byte every ms milliseconds, then the body."""
        head = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % size
        for i in range(len(head)):
            self.wfile.write(head[i:i + 1])
            self.wfile.flush()
            time.sleep(ms / 1000.0)
        self.send_body(0, size)
        self.close_connection = True

    def route_drip(self, token, ms, lines):
        """A head that never ends, one byte every ms milliseconds; with lines 1, the status line
        and then one header line at a time. Until the client goes, or for 60 s."""
        pieces = itertools.chain([b"HTTP/1.1 200 OK\r\n"],
                                 (b"X-Drip-%d: x\r\n" % i for i in itertools.count()))
        if lines != 1:
            pieces = (bytes([byte]) for piece in pieces for byte in piece)
        self.close_connection, end = True, time.monotonic() + 60
        for piece in itertools.takewhile(lambda _: time.monotonic() < end, pieces):
            self.wfile.write(piece)  # fails once the client has gone
            time.sleep(ms / 1000.0)

    def route_given(self, token, size, extra):
        """The file the test put in STATE/given/<token>, whole; ?delay=ms waits before the head."""
        time.sleep(int(self.option("delay") or 0) / 1000.0)
        with open(os.path.join(State.folder, "given", token), "rb") as f:
            data = f.read()
        self.send_head(200, ("Content-Length", str(len(data))))
        self.wfile.write(data)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


class TlsServer(Server):
    def get_request(self):
        connection, address = self.socket.accept()
        connection.settimeout(5)
        if connection.recv(1, socket.MSG_PEEK) == b"\x16":  # a TLS handshake record
            with open(os.path.join(State.folder, "tls-hellos"), "ab") as hellos:
                hellos.write(b"h")
        return self.context.wrap_socket(connection, server_side=True), address


def start_nginx(state):
    with open(os.path.join(state, "www", "nginx.bin"), "wb") as f:
        f.write(os.urandom(40960))
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    with open(os.path.join(state, "nginx.conf"), "w") as f:
        f.write("""daemon on; worker_processes 1; user root; pid %(s)s/nginx.pid;
events { worker_connections 64; }
http { access_log off; client_body_temp_path %(s)s/t; proxy_temp_path %(s)s/t;
  fastcgi_temp_path %(s)s/t; uwsgi_temp_path %(s)s/t; scgi_temp_path %(s)s/t;
  server { listen 127.0.0.1:%(p)d; root %(s)s/www; } }
""" % {"s": state, "p": port})
    subprocess.run(["nginx", "-c", state + "/nginx.conf", "-p", state, "-e", state + "/nginx.log"],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    return port


def serve(state):
    State.folder = state
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-keyout", state + "/key.pem", "-out", state + "/cert.pem",
                    "-subj", "/CN=127.0.0.1"], check=True, stderr=subprocess.DEVNULL)
    http_server, tls_server = Server(("127.0.0.1", 0), Handler), TlsServer(("127.0.0.1", 0), Handler)
    tls_server.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls_server.context.load_cert_chain(state + "/cert.pem", state + "/key.pem")
    for server in (http_server, tls_server):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    with open(state + "/ports.tmp", "w") as f:
        f.write("%d %d %d\n" % (http_server.server_address[1], tls_server.server_address[1],
                                start_nginx(state)))
    os.replace(state + "/ports.tmp", state + "/ports.txt")
    # Never outlive the tests by much, even when nobody runs the stop command.
    while time.monotonic() - State.last_request < 900:
        time.sleep(1)
    stop(state)


def start(state):
    stop(state)
    shutil.rmtree(state, ignore_errors=True)
    for folder in ("given", "log", "www", "t"):
        os.makedirs(os.path.join(state, folder))
    # Detached, with no handle on CTest's output pipe, or CTest would wait for it.
    with open(state + "/server.log", "w") as log:
        process = subprocess.Popen([sys.executable, __file__, "serve", state], stdout=log,
                                   stdin=subprocess.DEVNULL, stderr=log, start_new_session=True)
    with open(state + "/server.pid", "w") as f:
        f.write(str(process.pid))
    deadline = time.monotonic() + 20
    while not os.path.exists(state + "/ports.txt"):
        if process.poll() is not None or time.monotonic() > deadline:
            sys.exit("the test servers did not start; see " + state + "/server.log")
        time.sleep(0.05)


def stop(state):
    for name, sig in (("nginx.pid", signal.SIGQUIT), ("server.pid", signal.SIGTERM)):
        try:
            with open(os.path.join(state, name)) as f:
                os.kill(int(f.read()), sig)
            os.remove(os.path.join(state, name))
        except (OSError, ValueError):
            pass


if __name__ == "__main__":
    {"start": start, "stop": stop, "serve": serve}[sys.argv[1]](os.path.abspath(sys.argv[2]))
