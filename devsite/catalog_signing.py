"""The dev site's catalog signature: an "expires" a week on when the document has none, and the
Tarnwick-Catalog-Signature header over the exact bytes served, made with a dev key by the openssl
command (ECDSA P-256 over SHA-256; openssl writes DER, the header carries r||s in base64)."""

import base64
import datetime
import hashlib
import json
import subprocess

HEADER = "Tarnwick-Catalog-Signature"
EXPIRES_DAYS = 7
OPENSSL_SECONDS = 10


def der_to_raw(der):
    """r||s, 32 bytes each, of a DER ECDSA-Sig-Value (SEQUENCE of two INTEGERs)."""
    def read(at, tag):
        if der[at] != tag:
            raise ValueError("not a DER ECDSA signature")
        length = der[at + 1]
        if length & 0x80:  # a P-256 signature's lengths fit one byte; the long form has one more
            count = length & 0x7F
            length = int.from_bytes(der[at + 2:at + 2 + count], "big")
            at += count
        return der[at + 2:at + 2 + length], at + 2 + length
    body, _ = read(0, 0x30)
    der, at = body, 0
    r, at = read(at, 0x02)
    s, at = read(at, 0x02)
    return int.from_bytes(r, "big").to_bytes(32, "big") + int.from_bytes(s, "big").to_bytes(32, "big")


def expiry_text(when):
    return when.astimezone(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def with_expiry(body):
    """The document with "expires" a week on when it is a JSON object without one; else as it is."""
    try:
        document = json.loads(body)
    except (ValueError, RecursionError):
        return body
    if not isinstance(document, dict) or "expires" in document:
        return body
    later = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(days=EXPIRES_DAYS)
    document["expires"] = expiry_text(later)
    return json.dumps(document, indent=2, ensure_ascii=False).encode()


class CatalogSigner:
    def __init__(self, key_path):
        self.key_path = key_path
        public_der = self.openssl(["pkey", "-in", key_path, "-pubout", "-outform", "DER"], b"")
        self.key_id = hashlib.sha256(public_der).hexdigest()[:16]

    def openssl(self, args, data):
        return subprocess.run(["openssl", *args], input=data, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              check=True, timeout=OPENSSL_SECONDS).stdout

    def header_value(self, body):
        der = self.openssl(["dgst", "-sha256", "-sign", self.key_path], body)
        return "%s %s" % (self.key_id, base64.b64encode(der_to_raw(der)).decode())
