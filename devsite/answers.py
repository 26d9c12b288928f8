"""How the dev site answers: never cached, JSON compact, errors in the service's error body."""

import json

import loopback

# The service's error codes, by the HTTP status they usually come with.
CODE_FOR_STATUS = {
    400: "MALFORMED_REQUEST",
    401: "INVALID_TOKEN",
    403: "TOKEN_REVOKED",
    404: "UNKNOWN_RESOURCE",
    413: "PAYLOAD_TOO_LARGE",
    429: "RATE_LIMITED",
}


class SiteHandler(loopback.LoopbackHandler):
    def version_string(self):
        return "tarnwick-devsite"

    def send_bytes(self, status, body, content_type, extra_headers=()):
        super().send_bytes(status, body, content_type, (("Cache-Control", "no-store"), *extra_headers))

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

    def send_nothing_here(self):
        self.send_error_body(404, "There is nothing at this address.")

    def bearer(self):
        """The token of an Authorization: Bearer header; "" for another scheme, None without one."""
        value = self.headers.get("Authorization")
        if value is None:
            return None
        return value[len("Bearer "):] if value.startswith("Bearer ") else ""
