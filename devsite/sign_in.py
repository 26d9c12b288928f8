"""The download sign-in's records: codes waiting for approval in the browser, and the download
passes the site has granted."""

import secrets
import threading
import time

CROCKFORD = "0123456789ABCDEFGHJKMNPQRSTVWXYZ"
URL_SAFE = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"


def random_text(alphabet, length):
    return "".join(secrets.choice(alphabet) for _ in range(length))


class Link:
    """One download sign-in: a code waiting for approval in the browser."""

    def __init__(self, expires_in, interval):
        self.code = random_text(CROCKFORD, 8)
        self.poll_token = "twdl_" + random_text(URL_SAFE, 43)
        self.expires_at = time.monotonic() + expires_in
        self.interval = interval
        self.decision = "pending"  # pending, approved, denied
        self.delivered = False


class SignIns:
    def __init__(self, link_expires, link_interval, pass_lifetime):
        self.link_expires = link_expires
        self.link_interval = link_interval
        self.pass_lifetime = pass_lifetime
        self.lock = threading.Lock()
        self.links = {}  # poll token -> Link
        self.passes = {}  # download pass -> expiry (monotonic seconds)

    def start_link(self):
        link = Link(self.link_expires, self.link_interval)
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

    def grant_pass(self, lifetime=None):
        token = "twdp_" + random_text(URL_SAFE, 43)
        if lifetime is None:
            lifetime = self.pass_lifetime
        with self.lock:
            self.passes[token] = time.monotonic() + lifetime
        return token

    def revoke_pass(self, token):
        with self.lock:
            self.passes.pop(token, None)

    def pass_is_valid(self, token):
        with self.lock:
            expiry = self.passes.get(token)
        return expiry is not None and time.monotonic() < expiry
