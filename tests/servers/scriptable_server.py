"""Scriptable loopback HTTP and HTTPS servers for the transport tests.

The request path chooses the behaviour; every request that reaches a handler is logged with its
`tag` query value, so a test can ask any server (GET /seen?tag=...) what arrived where.

  /echo (and any unknown path)   200, JSON of what was received: server, method, path, headers, body
  /status?code=N                 N with a small JSON body
  /big?bytes=N[&chunk=M]         N bytes of the pattern (support/pattern.py) with a Content-Length, in writes of M
  /blank-headers                 headers whose values carry blanks and tabs around them
  /redirect?to=URL[&code=N]      N (302) with Location: URL
  /silent                        reads the request and never answers
  /slow-head?ms=N                waits N ms, then echoes
  /drip?bytes=N&interval_ms=M    sends N bytes slowly, 1 KiB every M ms
  /resumable?bytes=N&tag=T[&cut=K][&cuts=C][&ranges=0][&etag=E][&etag_after=F][&length=L]
                                 N pattern bytes, Accept-Ranges and ETag "E" ("F" from the tag's
                                 second request on); a Range "bytes=S-" whose If-Range names the
                                 current ETag gets a 206 from S. The tag's first C (1) answers end
                                 cleanly after K body bytes. With L, Content-Length L and no body.
  /seen?tag=T                    JSON list of the logged requests with tag T, from all servers

Servers bind numeric addresses only and look up no names. Every wait is bounded.
"""

import json
import pathlib
import sys
import threading
import time
import urllib.parse

# The server plumbing is the dev site's: the tests may lean on the site, never the other way.
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "devsite"))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
import loopback  # noqa: E402
import ranges  # noqa: E402
from support.pattern import pattern  # noqa: E402

LONGEST_WAIT_S = 60.0
SOCKET_TIMEOUT_S = 30.0
MAX_BODY = 64 * 1024 * 1024
JSON = "application/json"


class Hub:
    """What all servers of one run share: the request log and the stop signal."""

    def __init__(self):
        self.requests = loopback.RequestLog()
        self.stopping = threading.Event()

    def seen(self, tag):
        return [e for e in self.requests.all() if e["tag"] == tag]


class Handler(loopback.LoopbackHandler):
    server_version = "twi-test-server"
    sys_version = ""

    def do_GET(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def do_PUT(self):
        self.dispatch()

    def dispatch(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        body = self.read_body(MAX_BODY) or b""
        received = {"server": self.server.name, **self.request_record(body), "tag": query.get("tag", "")}
        if url.path != "/seen":
            self.server.hub.requests.record(received)
        route = {
            "/status": self.answer_status,
            "/big": self.answer_big,
            "/blank-headers": self.answer_blank_headers,
            "/redirect": self.answer_redirect,
            "/silent": self.answer_never,
            "/slow-head": self.answer_slow_head,
            "/drip": self.answer_drip,
            "/resumable": self.answer_resumable,
            "/seen": self.answer_seen,
        }.get(url.path, self.answer_echo)
        route(query, received)

    def answer_echo(self, query, received):
        self.send_bytes(200, json.dumps(received).encode(), JSON)

    def answer_status(self, query, received):
        code = int(query.get("code", "404"))
        self.send_bytes(code, json.dumps({"error": {"code": "NOT_FOUND", "status": code}}).encode(), JSON)

    def answer_big(self, query, received):
        body = pattern(int(query.get("bytes", "0")))
        chunk = int(query.get("chunk", "0"))
        if chunk <= 0:
            return self.send_bytes(200, body, "application/octet-stream")
        self.send_head(200, "application/octet-stream", len(body))
        try:
            for start in range(0, len(body), chunk):
                self.wfile.write(body[start:start + chunk])
                self.wfile.flush()
        except OSError:
            pass  # the client stopped reading at its cap

    def answer_blank_headers(self, query, received):
        self.send_bytes(200, b"{}", JSON, [("Retry-After", "  30 \t"), ("X-Mixed-CASE", "\t Value  With Inner  ")])

    def answer_redirect(self, query, received):
        self.send_bytes(int(query.get("code", "302")), b"", JSON, [("Location", query["to"])])

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
        self.send_head(200, "application/octet-stream", total)
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

    def answer_resumable(self, query, received):
        total = int(query.get("bytes", "0"))
        earlier = len(self.server.hub.seen(received["tag"])) - 1
        etag = '"%s"' % query.get("etag_after" if earlier and "etag_after" in query else "etag", "")
        ranged = query.get("ranges", "1") == "1"
        # Every answer ends its connection, so no client may keep it for its next request.
        headers = [("ETag", etag), ("Connection", "close")] + ([("Accept-Ranges", "bytes")] if ranged else [])
        # Only a Range whose If-Range names the current ETag resumes: one without If-Range, as a
        # client that forgot it sends, must get the whole body.
        span = ranges.requested_span(self.headers.get("Range"), total) if ranged else None
        resumes = span not in (None, ranges.UNSATISFIABLE) and self.headers.get("If-Range") == etag
        start = span[0] if resumes else 0
        if start:
            headers.append(("Content-Range", "bytes %d-%d/%d" % (start, total - 1, total)))
        body = pattern(total)[start:][:int(query.get("cut", total)) if earlier < int(query.get("cuts", "1")) else None]
        self.send_head(206 if start else 200, "application/octet-stream", int(query.get("length", total - start)),
                       headers)
        try:
            self.wfile.write(b"" if "length" in query else body)
        except OSError:
            pass
        self.end_connection()

    def answer_seen(self, query, received):
        self.send_bytes(200, json.dumps(self.server.hub.seen(query.get("tag", ""))).encode(), JSON)


class ScriptableServer(loopback.LoopbackServer):
    """One server of a run, on a port of its own, logging nothing but into the hub."""

    connection_timeout = SOCKET_TIMEOUT_S

    def __init__(self, name, address, hub, tls=None):
        self.name = name
        self.hub = hub
        super().__init__(address, 0, Handler, tls)


class ServerSet:
    """Starts every server of a run; `ports` maps each name to its port."""

    def __init__(self, pki, unknown_ca):
        self.hub = Hub()
        trusted = loopback.tls_context(f"{pki}/server.pem", f"{pki}/server.key")
        old = loopback.tls_context(f"{pki}/server.pem", f"{pki}/server.key", old_only=True)
        untrusted = loopback.tls_context(f"{unknown_ca}/server.pem", f"{unknown_ca}/server.key")
        self.servers = [
            ScriptableServer("https", "127.0.0.1", self.hub, trusted),
            ScriptableServer("http", "127.0.0.1", self.hub),
            ScriptableServer("second", "127.0.0.2", self.hub),
            ScriptableServer("old-tls", "127.0.0.1", self.hub, old),
            ScriptableServer("unknown-ca", "127.0.0.1", self.hub, untrusted),
        ]
        self.ports = {s.name: s.port for s in self.servers}
        for server in self.servers:
            server.start()

    def stop(self):
        self.hub.stopping.set()
        for server in self.servers:
            server.stop()
