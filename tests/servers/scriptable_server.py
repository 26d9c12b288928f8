"""Scriptable loopback HTTP and HTTPS servers for the transport tests.

The request path chooses the behaviour; every request that reaches a handler is logged with its
`tag` query value, so a test can ask any server (GET /seen?tag=...) what arrived where.

  /echo (and any unknown path)   200, JSON of what was received: server, method, path, headers, body
  /status?code=N                 N with a small JSON body
  /big?bytes=N[&chunk=M]         N bytes of pattern_byte(i) with a Content-Length, in writes of M
  /blank-headers                 headers whose values carry blanks and tabs around them
  /redirect?to=URL[&code=N]      N (302) with Location: URL
  /silent                        reads the request and never answers
  /slow-head?ms=N                waits N ms, then echoes
  /drip?bytes=N&interval_ms=M    sends N bytes slowly, 1 KiB every M ms
  /seen?tag=T                    JSON list of the logged requests with tag T, from all servers

Servers bind numeric addresses only and look up no names. Every wait is bounded.
"""

import http.server
import json
import socketserver
import ssl
import threading
import time
import urllib.parse
import warnings

LONGEST_WAIT_S = 60.0
SOCKET_TIMEOUT_S = 30.0


def pattern_byte(i):
    return i % 251


def pattern(count):
    block = bytes(pattern_byte(i) for i in range(251))
    repeats = count // len(block) + 1
    return (block * repeats)[:count]


class Hub:
    """What all servers of one run share: the request log and the stop signal."""

    def __init__(self):
        self.lock = threading.Lock()
        self.entries = []
        self.stopping = threading.Event()

    def record(self, entry):
        with self.lock:
            self.entries.append(entry)

    def seen(self, tag):
        with self.lock:
            return [e for e in self.entries if e["tag"] == tag]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "twi-test-server"
    sys_version = ""
    timeout = SOCKET_TIMEOUT_S
    disable_nagle_algorithm = True  # head and body go out as separate writes

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass

    def do_GET(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def do_PUT(self):
        self.dispatch()

    def dispatch(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        received = {
            "server": self.server.name,
            "method": self.command,
            "path": self.path,
            "headers": [[k, v] for k, v in self.headers.items()],
            "body": body.decode("utf-8", "replace"),
            "tag": query.get("tag", ""),
        }
        if url.path != "/seen":
            self.server.hub.record(received)
        route = {
            "/status": self.answer_status,
            "/big": self.answer_big,
            "/blank-headers": self.answer_blank_headers,
            "/redirect": self.answer_redirect,
            "/silent": self.answer_never,
            "/slow-head": self.answer_slow_head,
            "/drip": self.answer_drip,
            "/seen": self.answer_seen,
        }.get(url.path, self.answer_echo)
        route(query, received)

    def send_body(self, code, body, content_type="application/json", extra=()):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def answer_echo(self, query, received):
        self.send_body(200, json.dumps(received).encode())

    def answer_status(self, query, received):
        code = int(query.get("code", "404"))
        self.send_body(code, json.dumps({"error": {"code": "NOT_FOUND", "status": code}}).encode())

    def answer_big(self, query, received):
        body = pattern(int(query.get("bytes", "0")))
        chunk = int(query.get("chunk", "0"))
        if chunk <= 0:
            return self.send_body(200, body, "application/octet-stream")
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            for start in range(0, len(body), chunk):
                self.wfile.write(body[start:start + chunk])
                self.wfile.flush()
        except OSError:
            pass  # the client stopped reading at its cap

    def answer_blank_headers(self, query, received):
        self.send_body(200, b"{}", extra=[("Retry-After", "  30 \t"), ("X-Mixed-CASE", "\t Value  With Inner  ")])

    def answer_redirect(self, query, received):
        self.send_body(int(query.get("code", "302")), b"", extra=[("Location", query["to"])])

    def answer_never(self, query, received):
        self.server.hub.stopping.wait(LONGEST_WAIT_S)
        self.close_connection = True

    def answer_slow_head(self, query, received):
        if self.server.hub.stopping.wait(min(int(query.get("ms", "0")) / 1000.0, LONGEST_WAIT_S)):
            return
        self.answer_echo(query, received)

    def answer_drip(self, query, received):
        total = int(query.get("bytes", "0"))
        interval = int(query.get("interval_ms", "100")) / 1000.0
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(total))
        self.end_headers()
        data = pattern(total)
        started = time.monotonic()
        sent = 0
        try:
            while sent < total and time.monotonic() - started < LONGEST_WAIT_S:
                self.wfile.write(data[sent:sent + 1024])
                self.wfile.flush()
                sent += 1024
                if self.server.hub.stopping.wait(interval):
                    break
        except OSError:
            pass  # the client went away, which is what a cancel test wants
        self.close_connection = True

    def answer_seen(self, query, received):
        self.send_body(200, json.dumps(self.server.hub.seen(query.get("tag", ""))).encode())


class LoopbackServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    block_on_close = False

    def __init__(self, name, address, hub, tls=None):
        self.name = name
        self.hub = hub
        self.tls = tls
        super().__init__((address, 0), Handler)

    def server_bind(self):
        # HTTPServer.server_bind asks for the host's FQDN, which is a name lookup.
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.server_address[:2]

    def finish_request(self, request, client_address):
        # The handshake runs on the connection's own thread so a stalled client blocks no one.
        if self.tls is None:
            return super().finish_request(request, client_address)
        request.settimeout(SOCKET_TIMEOUT_S)
        try:
            secure = self.tls.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return None
        try:
            return super().finish_request(secure, client_address)
        finally:
            secure.close()


def tls_context(cert, key, oldest=None, newest=None):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if oldest is not None:
        # OpenSSL's default security level refuses the old protocols outright.
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            context.minimum_version = oldest
            context.maximum_version = newest
    context.load_cert_chain(cert, key)
    return context


class ServerSet:
    """Starts every server of a run; `ports` maps each name to its port."""

    def __init__(self, pki, unknown_ca):
        self.hub = Hub()
        trusted = tls_context(f"{pki}/server.pem", f"{pki}/server.key")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            old = tls_context(f"{pki}/server.pem", f"{pki}/server.key",
                              ssl.TLSVersion.TLSv1, ssl.TLSVersion.TLSv1_1)
        untrusted = tls_context(f"{unknown_ca}/server.pem", f"{unknown_ca}/server.key")
        self.servers = [
            LoopbackServer("https", "127.0.0.1", self.hub, trusted),
            LoopbackServer("http", "127.0.0.1", self.hub),
            LoopbackServer("second", "127.0.0.2", self.hub),
            LoopbackServer("old-tls", "127.0.0.1", self.hub, old),
            LoopbackServer("unknown-ca", "127.0.0.1", self.hub, untrusted),
        ]
        self.ports = {s.name: s.server_address[1] for s in self.servers}
        self.threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
                        for s in self.servers]
        for thread in self.threads:
            thread.start()

    def stop(self):
        self.hub.stopping.set()
        for server in self.servers:
            server.shutdown()
            server.server_close()
        for thread in self.threads:
            thread.join(timeout=5)
