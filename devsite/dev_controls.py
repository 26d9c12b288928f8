"""The tests' handles on the site, under /_dev/: the log of what the site received and the status
it answered, forgetting it, granting and revoking download passes without the sign-in, scripting
the next answers of a path, and what a download acts out. The controls stay out of the request log.

DevControls is mixed into server.Handler: it uses the server's request_log, scripts, sign_ins and
download_faults and the answers of answers.SiteHandler.
"""

import json
import threading
import time
import urllib.parse

from faults import valid_download_fault
from request_values import decimal, header_safe

MAX_PASS_LIFETIME = 86400



def json_or_none(body):
    """The request body as JSON, or None when it is none."""
    try:
        return json.loads(body or b"")
    except ValueError:
        return None

class ScriptedAnswers:
    """The answers a test scripted, by path, with how many requests each is still for."""

    def __init__(self):
        self.lock = threading.Lock()
        self.scripted = {}  # path -> [answer, answers left]

    def script(self, path, answer, times):
        """Scripts the next `times` answers for path; 0 takes a script back."""
        with self.lock:
            if times > 0:
                self.scripted[path] = [answer, times]
            else:
                self.scripted.pop(path, None)

    def take(self, path):
        """The answer scripted for path, counting it as used, or None."""
        with self.lock:
            script = self.scripted.get(path)
            if script is None:
                return None
            script[1] -= 1
            if script[1] <= 0:
                del self.scripted[path]
            return script[0]


def valid_script(script):
    """Whether a POST /_dev/answer body is {"path", "status"?, "headers"?, "body"?, "times"?} with
    headers that cannot split the answer's header."""
    if not isinstance(script, dict):
        return False
    headers = script.get("headers", [])
    return (isinstance(script.get("path"), str) and isinstance(script.get("status", 200), int)
            and isinstance(script.get("body", ""), str) and isinstance(script.get("times", 1), int)
            and isinstance(headers, list)
            and all(isinstance(h, list) and len(h) == 2 and all(isinstance(v, str) and header_safe(v) for v in h)
                    for h in headers))


class DevControls:
    def parse_request(self):
        # One handler serves every request of a keep-alive connection: a status belongs to the
        # request it answers.
        self.logged = None
        return super().parse_request()

    def record(self, body=b""):
        self.logged = {**self.request_record(body), "time": time.time()}
        self.server.request_log.record(self.logged)

    def send_response(self, code, message=None):
        super().send_response(code, message)
        if getattr(self, "logged", None) is not None:
            self.server.request_log.note(self.logged, status=code)

    def answer_request_log(self):
        self.send_json(200, self.server.request_log.all())

    def answer_dev_control(self, url, body):
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        if url.path == "/_dev/reset":
            self.server.request_log.clear()
            self.send_json(200, {"ok": True})
        elif url.path == "/_dev/pass":
            self.answer_grant_pass(query)
        elif url.path == "/_dev/answer":
            self.answer_script(body)
        elif url.path == "/_dev/revoke":
            self.answer_revoke_pass(body)
        elif url.path == "/_dev/download":
            self.answer_download_fault(body)
        else:
            self.send_nothing_here()

    def answer_grant_pass(self, query):
        lifetime = None
        if "lifetime" in query:
            lifetime = decimal(query["lifetime"][0], 0, MAX_PASS_LIFETIME)
            if lifetime is None:
                self.send_error_body(400, "lifetime must be 0..%d seconds." % MAX_PASS_LIFETIME)
                return
        self.send_json(200, {"pass": self.server.sign_ins.grant_pass(lifetime)})

    def answer_revoke_pass(self, body):
        try:
            token = json.loads(body or b"").get("pass")
        except (ValueError, AttributeError):
            token = None
        if not isinstance(token, str):
            self.send_error_body(400, 'The body must be {"pass": "..."}.')
            return
        self.server.sign_ins.revoke_pass(token)
        self.send_json(200, {"ok": True})

    def answer_script(self, body):
        """The next `times` requests (1 unless given) for the script's path get its answer instead
        of the site's own."""
        script = json_or_none(body)
        if not valid_script(script):
            self.send_error_body(400, 'The body must be {"path": "...", "status": N, "headers": [[n, v]], '
                                      '"body": "...", "times": N}.')
            return
        self.server.scripts.script(script["path"], script, script.get("times", 1))
        self.send_json(200, {"ok": True})

    def answer_download_fault(self, body):
        """What the requests for a download act out from now on (faults.DownloadFaults)."""
        plan = json_or_none(body)
        if not valid_download_fault(plan):
            self.send_error_body(400, 'The body must be {"name": "...", "cut_after": N, "overstate": N, '
                                      '"no_ranges": true, "every": true, "etag_from": N, "ignore_if_range": true}.')
            return
        self.server.download_faults.set(plan)
        self.send_json(200, {"ok": True})
