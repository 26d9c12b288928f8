"""The vendor's site as the Installer meets it: the catalog, the downloads (with byte ranges), and
the download sign-in (link start and poll, the approval page).

Mixed into server.Handler: it uses the server's options, sign_ins, hashes and download_faults, the
answers of answers.SiteHandler and, for a padded download, faults.Faults.
"""

import html
import json
import os
import time
import urllib.parse

import catalog_document
import catalog_signing
import ranges
from faults import MAX_PACED_SECONDS, PACE_SECONDS
from request_values import decimal

API = "/api/installer/v1"
CHUNK = 256 * 1024
MAX_PADDING = 1 << 34


class VendorApi:
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
            if not self.server.sign_ins.pass_is_valid(token):
                self.send_error_body(401, "The download pass is not valid.")
                return
            signed_in = True
        try:
            with open(options.catalog, "rb") as f:
                raw = f.read()
        except OSError as e:
            self.send_error_body(500, "The catalog could not be read: %s" % e.strerror)
            return
        served = catalog_document.served_catalog(raw, signed_in, options.downloads, self.server.hashes)
        signer = self.server.catalog_signer
        if signer is None:
            self.send_bytes(200, served, "application/json")
            return
        served = catalog_signing.with_expiry(served)
        self.send_bytes(200, served, "application/json", ((catalog_signing.HEADER, signer.header_value(served)),))

    # --- downloads ----------------------------------------------------------------------------

    def answer_download(self, name, query):
        name = urllib.parse.unquote(name)
        if catalog_document.needs_pass(self.server.options.catalog, name):
            token = self.bearer()
            if not token:
                self.send_error_body(401, "A download pass is required.", code="INVALID_TOKEN")
                return
            if not self.server.sign_ins.pass_is_valid(token):
                self.send_error_body(401, "The download pass is not valid.", code="INVALID_TOKEN")
                return
        path = catalog_document.download_path(self.server.options.downloads, name)
        if path is None:
            self.send_error_body(404, "No such download.", code="UNKNOWN_RESOURCE")
            return
        # pad=N sends N bytes more than the Content-Length announces.
        pad = decimal(query.get("pad", ["0"])[0], 0, MAX_PADDING)
        if pad is None:
            self.send_error_body(400, "pad takes a number of bytes.")
            return
        acting = self.server.download_faults.take(name)
        size = os.path.getsize(path)
        etag, modified = ranges.validators(path, acting.etag_changed)
        headers = [("ETag", etag), ("Last-Modified", modified)]
        span = None
        if not acting.no_ranges:
            headers.append(("Accept-Ranges", "bytes"))
            if acting.ignore_if_range or ranges.if_range_holds(self.headers.get("If-Range"), etag, modified):
                span = ranges.requested_span(self.headers.get("Range"), size)
        if span == ranges.UNSATISFIABLE:
            self.send_bytes(416, b"", "text/plain", headers + [("Content-Range", "bytes */%d" % size)])
            return
        first, last = span or (0, size - 1)
        if span:
            headers.append(("Content-Range", "bytes %d-%d/%d" % (first, last, size)))
        self.send_file_part(206 if span else 200, path, first, last - first + 1, headers, acting)
        if pad and self.command != "HEAD":
            self.write_pattern(pad, None)
            self.end_connection()

    def send_file_part(self, status, path, first, count, headers, acting):
        """count bytes of the file from first on, or fewer when cut; a cut or overstated body
        ends the connection, which cannot carry another answer after it."""
        self.send_head(status, "application/octet-stream", count + acting.overstate, headers)
        if self.command == "HEAD":
            return
        left = count if acting.cut_after is None else min(count, acting.cut_after)
        # A paced body goes out in PACE_SECONDS slices, so a window can be seen part way.
        piece = CHUNK if acting.rate is None else max(1, int(acting.rate * PACE_SECONDS))
        deadline = time.monotonic() + MAX_PACED_SECONDS
        try:
            with open(path, "rb") as f:
                f.seek(first)
                while left > 0:
                    chunk = f.read(min(piece, left))
                    if not chunk:
                        break
                    self.wfile.write(chunk)
                    left -= len(chunk)
                    if acting.rate is not None and left > 0:
                        if time.monotonic() > deadline:
                            break
                        self.wfile.flush()
                        time.sleep(PACE_SECONDS)
        except OSError:  # the client went away
            self.close_connection = True
            return
        cut = acting.cut_after is not None and acting.cut_after < count
        if acting.overstate or cut or left > 0:
            self.end_connection()

    def answer_go(self, name):
        self.send_bytes(302, b"", "text/plain", [("Location", "/downloads/" + name)])

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
        link = self.server.sign_ins.start_link()
        formatted = link.code[:4] + "-" + link.code[4:]
        self.send_json(200, {
            "linkCode": link.code,
            "authorizeUrl": "https://localhost:%d/installer/approve?code=%s" % (self.server.port, formatted),
            "pollToken": link.poll_token,
            "expiresInSec": self.server.options.link_expires,
            "pollIntervalSec": link.interval,
        })

    def answer_link_poll(self):
        token = self.bearer()
        link = self.server.sign_ins.link_by_token(token) if token else None
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
                    "downloadPass": self.server.sign_ins.grant_pass(),
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
        link = self.server.sign_ins.link_by_code(code)
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
