#!/usr/bin/env python3
"""A stand-in for Tarnwick's public site on the local machine, for development and tests.

It answers the installer API (the catalog and the two link exchanges of the download sign-in),
serves setup programs from a downloads folder, shows the approval page of the sign-in, and keeps
a log of every request it received so that tests can check what the Installer sent.

Only the Python standard library is used. The server binds a numeric loopback address and never
looks up a name.
"""

import argparse
import html
import json
import os
import secrets
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

API = "/api/installer/v1"
HERE = os.path.dirname(os.path.abspath(__file__))

# The service's error codes, by the HTTP status they usually come with.
CODE_FOR_STATUS = {
    400: "MALFORMED_REQUEST",
    401: "INVALID_TOKEN",
    403: "TOKEN_REVOKED",
    404: "UNKNOWN_RESOURCE",
    413: "PAYLOAD_TOO_LARGE",
    429: "RATE_LIMITED",
}

CROCKFORD = "0123456789ABCDEFGHJKMNPQRSTVWXYZ"
URL_SAFE = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"
MAX_BODY = 64 * 1024
CHUNK = 256 * 1024


def random_text(alphabet, length):
    return "".join(secrets.choice(alphabet) for _ in range(length))


def is_beta_build(build):
    """The same rule the Installer applies: track first, then channel "test", then a "-" in the version."""
    track = build.get("track")
    if isinstance(track, str) and track:
        return track == "beta"
    if build.get("channel") == "test":
        return True
    version = build.get("version")
    return isinstance(version, str) and "-" in version


class Link:
    """One download sign-in: a code waiting for approval in the browser."""

    def __init__(self, expires_in, interval):
        self.code = random_text(CROCKFORD, 8)
        self.poll_token = "twdl_" + random_text(URL_SAFE, 43)
        self.expires_at = time.monotonic() + expires_in
        self.interval = interval
        self.decision = "pending"  # pending, approved, denied
        self.delivered = False


class SiteState:
    """What the site remembers between requests: request log, sign-ins and granted passes."""

    def __init__(self, options):
        self.options = options
        self.lock = threading.Lock()
        self.requests = []
        self.links = {}  # poll token -> Link
        self.passes = {}  # download pass -> expiry (monotonic seconds)

    def record(self, entry):
        with self.lock:
            self.requests.append(entry)

    def request_log(self):
        with self.lock:
            return list(self.requests)

    def clear_log(self):
        with self.lock:
            self.requests.clear()

    def start_link(self):
        link = Link(self.options.link_expires, self.options.link_interval)
        with self.lock:
            self.links[link.poll_token] = link
        return link

    def link_by_code(self, code):
        wanted = code.replace("-", "").replace(" ", "").upper()
        with self.lock:
            for link in self.links.values():
                if link.code == wanted and time.monotonic() < link.expires_at:
                    return link
        return None

    def link_by_token(self, token):
        with self.lock:
            return self.links.get(token)

    def grant_pass(self):
        token = "twdp_" + random_text(URL_SAFE, 43)
        with self.lock:
            self.passes[token] = time.monotonic() + self.options.pass_lifetime
        return token

    def pass_is_valid(self, token):
        with self.lock:
            expiry = self.passes.get(token)
        return expiry is not None and time.monotonic() < expiry


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def version_string(self):
        return "tarnwick-devsite"

    # --- plumbing -----------------------------------------------------------------------------

    @property
    def state(self):
        return self.server.state

    def log_message(self, fmt, *args):
        out = self.server.log_file
        out.write("%s %s\n" % (time.strftime("%H:%M:%S"), fmt % args))
        out.flush()

    def read_body(self):
        length = self.headers.get("Content-Length")
        if length is None:
            return b""
        try:
            length = int(length)
        except ValueError:
            return None
        if length < 0 or length > MAX_BODY:
            return None
        return self.rfile.read(length)

    def record(self, body=b""):
        self.state.record({
            "method": self.command,
            "path": self.path,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body": body.decode("utf-8", "replace"),
            "time": time.time(),
        })

    def send_bytes(self, status, body, content_type, extra_headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for name, value in extra_headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_json(self, status, value, extra_headers=()):
        body = json.dumps(value, separators=(",", ":")).encode()
        self.send_bytes(status, body, "application/json", extra_headers)

    def send_error_body(self, status, message, code=None, retry_after=None):
        """The service's error body: {"error": {"code", "message", "retryAfterSec"?}}."""
        error = {"code": code or CODE_FOR_STATUS.get(status, "SERVER_ERROR"), "message": message}
        headers = []
        if retry_after is not None:
            error["retryAfterSec"] = retry_after
            headers.append(("Retry-After", str(retry_after)))
        self.send_json(status, {"error": error}, headers)

    def bearer(self):
        value = self.headers.get("Authorization")
        if value is None:
            return None
        return value[len("Bearer "):] if value.startswith("Bearer ") else ""

    # --- dispatch -----------------------------------------------------------------------------

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/_dev/requests":
            self.send_json(200, self.state.request_log())
            return
        self.record()
        query = urllib.parse.parse_qs(url.query)
        if url.path == API + "/catalog":
            self.answer_catalog(query)
        elif url.path.startswith("/downloads/"):
            self.answer_download(url.path[len("/downloads/"):])
        elif url.path.startswith("/go/"):
            self.send_bytes(302, b"", "text/plain", [("Location", "/downloads/" + url.path[len("/go/"):])])
        elif url.path == "/installer/approve":
            self.answer_approve_page(query.get("code", [""])[0])
        else:
            self.send_error_body(404, "There is nothing at this address.")

    def do_HEAD(self):
        self.do_GET()

    def do_POST(self):
        url = urllib.parse.urlsplit(self.path)
        body = self.read_body()
        if url.path == "/_dev/reset":
            self.state.clear_log()
            self.send_json(200, {"ok": True})
            return
        self.record(body or b"")
        if body is None:
            self.send_error_body(413, "The request body is too large.")
        elif url.path == API + "/link/start":
            self.answer_link_start(body)
        elif url.path == API + "/link/poll":
            self.answer_link_poll()
        elif url.path == "/installer/approve":
            self.answer_approve_form(body)
        else:
            self.send_error_body(404, "There is nothing at this address.")

    def do_PUT(self):
        self.refuse_method()

    def do_DELETE(self):
        self.refuse_method()

    def refuse_method(self):
        self.read_body()
        self.record()
        self.send_error_body(400, "This method is not supported here.")

    # --- catalog ------------------------------------------------------------------------------

    def answer_catalog(self, query):
        options = self.server.options
        if options.catalog_status is not None:
            status = options.catalog_status
            retry = 30 if status in (429, 503) else None
            self.send_error_body(status, "The catalog is not available right now.", retry_after=retry)
            return
        if query.get("platform") != ["windows"]:
            self.send_error_body(400, "platform must be windows.")
            return
        token = self.bearer()
        signed_in = False
        if token is not None:
            if not self.state.pass_is_valid(token):
                self.send_error_body(401, "The download pass is not valid.")
                return
            signed_in = True
        try:
            with open(options.catalog, "rb") as f:
                raw = f.read()
        except OSError as e:
            self.send_error_body(500, "The catalog could not be read: %s" % e.strerror)
            return
        self.send_bytes(200, self.catalog_for(raw, signed_in), "application/json")

    @staticmethod
    def catalog_for(raw, signed_in):
        """Withholds beta builds of sign-in products from a request without a valid pass.

        A document that does not parse is served exactly as written, so that broken catalogs
        can be tried out.
        """
        try:
            document = json.loads(raw)
        except ValueError:
            return raw
        if signed_in or not isinstance(document, dict) or not isinstance(document.get("products"), list):
            return raw
        changed = False
        for product in document["products"]:
            if not isinstance(product, dict) or product.get("betasNeedSignIn") is not True:
                continue
            builds = product.get("builds")
            if not isinstance(builds, list):
                continue
            kept = [b for b in builds if not (isinstance(b, dict) and is_beta_build(b))]
            if len(kept) != len(builds):
                product["builds"] = kept
                product["betaAvailable"] = True
                changed = True
        return json.dumps(document, indent=2, ensure_ascii=False).encode() if changed else raw

    # --- downloads ----------------------------------------------------------------------------

    def answer_download(self, name):
        name = urllib.parse.unquote(name)
        folder = os.path.realpath(self.server.options.downloads)
        path = os.path.realpath(os.path.join(folder, name))
        if not name or os.path.dirname(path) != folder or not os.path.isfile(path):
            self.send_error_body(404, "No such download.", code="UNKNOWN_RESOURCE")
            return
        size = os.path.getsize(path)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        if self.command == "HEAD":
            return
        with open(path, "rb") as f:
            while True:
                chunk = f.read(CHUNK)
                if not chunk:
                    break
                self.wfile.write(chunk)

    # --- download sign-in ---------------------------------------------------------------------

    def answer_link_start(self, body):
        try:
            request = json.loads(body)
        except ValueError:
            request = None
        if not isinstance(request, dict):
            self.send_error_body(400, "The body must be a JSON object.")
            return
        version = request.get("schemaVersion")
        if type(version) is not int or version != 1:
            self.send_error_body(400, "Only schema version 1 is understood.", code="SCHEMA_UNSUPPORTED")
            return
        if request.get("platform") != "windows" or not isinstance(request.get("installerVersion"), str):
            self.send_error_body(400, "platform and installerVersion are required.")
            return
        link = self.state.start_link()
        port = self.server.server_address[1]
        formatted = link.code[:4] + "-" + link.code[4:]
        self.send_json(200, {
            "linkCode": link.code,
            "authorizeUrl": "https://localhost:%d/installer/approve?code=%s" % (port, formatted),
            "pollToken": link.poll_token,
            "expiresInSec": self.server.options.link_expires,
            "pollIntervalSec": link.interval,
        })

    def answer_link_poll(self):
        token = self.bearer()
        link = self.state.link_by_token(token) if token else None
        if link is None or link.delivered:
            self.send_error_body(401, "The poll token is not valid.")
            return
        if time.monotonic() >= link.expires_at:
            self.send_json(200, {"status": "expired"})
            return
        auto = self.server.options.link_auto
        if link.decision == "pending" and auto:
            link.decision = auto
        if link.decision == "approved":
            link.delivered = True
            self.send_json(200, {
                "status": "approved",
                "download": {
                    "downloadPass": self.state.grant_pass(),
                    "expiresInSec": self.server.options.pass_lifetime,
                    "channels": ["release", "test"],
                    "serverTimeUtc": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime()),
                },
            })
        else:
            self.send_json(200, {"status": link.decision})

    def answer_approve_page(self, code, note=""):
        page = APPROVE_PAGE.format(code=html.escape(code), note=note).encode()
        self.send_bytes(200, page, "text/html; charset=utf-8")

    def answer_approve_form(self, body):
        form = urllib.parse.parse_qs(body.decode("utf-8", "replace"))
        code = form.get("code", [""])[0]
        decision = form.get("decision", [""])[0]
        link = self.state.link_by_code(code)
        if link is None or link.decision != "pending" or decision not in ("approve", "deny"):
            self.answer_approve_page(code, "<p class=bad>That code is not waiting for approval.</p>")
            return
        link.decision = "approved" if decision == "approve" else "denied"
        word = "approved" if decision == "approve" else "denied"
        self.answer_approve_page(code, "<p class=good>Code %s. You can return to the Installer.</p>" % word)


APPROVE_PAGE = """<!doctype html>
<html lang=en><head><meta charset=utf-8><title>Approve the Tarnwick Installer</title>
<style>body{{font-family:sans-serif;background:#141019;color:#e8e2f0;max-width:32em;margin:4em auto}}
input{{font-size:1.4em;letter-spacing:.1em}} .good{{color:#46d6a0}} .bad{{color:#f2b84b}}</style></head>
<body><h1>Sign in for beta builds</h1>
<p>Check that this code matches the one the Installer shows.</p>
{note}
<form method=post action=/installer/approve>
<p><input name=code value="{code}" size=10 autocomplete=off></p>
<p><button name=decision value=approve>Approve</button> <button name=decision value=deny>Deny</button></p>
</form></body></html>
"""


class DevSite(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, options, tls, log_file):
        self.address_family = socket.AF_INET6 if ":" in options.bind else socket.AF_INET
        self.options = options
        self.tls = tls
        self.log_file = log_file
        self.state = SiteState(options)
        super().__init__((options.bind, options.port), Handler)

    def server_bind(self):
        # The stock version calls getfqdn, which sends a name query; the address is numeric.
        socketserver.TCPServer.server_bind(self)
        self.server_name = self.options.bind
        self.server_port = self.server_address[1]

    def finish_request(self, request, client_address):
        # The handshake runs on the request's own thread, so a stalled client holds up nobody.
        try:
            request.settimeout(60)
            request = self.tls.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as e:
            self.log_file.write("%s TLS handshake with %s failed: %s\n" % (time.strftime("%H:%M:%S"), client_address[0], e))
            self.log_file.flush()
            return
        try:
            super().finish_request(request, client_address)
        finally:
            try:
                request.close()
            except OSError:
                pass


def parse_options(argv):
    p = argparse.ArgumentParser(description="A local stand-in for Tarnwick's public site.")
    p.add_argument("--bind", default="127.0.0.1", help="numeric address to listen on")
    p.add_argument("--port", type=int, default=7180)
    p.add_argument("--cert", required=True, help="server certificate (PEM) for localhost")
    p.add_argument("--key", required=True, help="its private key (PEM)")
    p.add_argument("--catalog", default=os.path.join(HERE, "catalog.json"),
                   help="catalog document, read afresh for every request")
    p.add_argument("--catalog-status", type=int, metavar="N",
                   help="answer the catalog with status N and an error body instead")
    p.add_argument("--downloads", default=os.path.join(HERE, "downloads"),
                   help="folder served under /downloads/")
    p.add_argument("--link-expires", type=int, default=900, metavar="SEC", help="lifetime of a sign-in code")
    p.add_argument("--link-interval", type=int, default=5, metavar="SEC", help="poll interval asked for")
    p.add_argument("--link-auto", choices=["approved", "denied"],
                   help="decide every sign-in at its first poll, without the approval page")
    p.add_argument("--pass-lifetime", type=int, default=3600, metavar="SEC", help="lifetime of a download pass")
    p.add_argument("--log", help="request log file (default: standard output)")
    return p.parse_args(argv)


def main(argv):
    options = parse_options(argv)
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.minimum_version = ssl.TLSVersion.TLSv1_2
    tls.load_cert_chain(options.cert, options.key)
    log_file = open(options.log, "a", encoding="utf-8") if options.log else sys.stdout
    site = DevSite(options, tls, log_file)
    print("devsite: serving https://localhost:%d" % site.server_address[1], flush=True)
    try:
        site.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        site.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
