#!/usr/bin/env python3
"""tarnwick-catalog's signatures against OpenSSL's command line, both ways: a catalog the tool
signs verifies with `openssl dgst -sha256 -verify`, one the dev site signs with `openssl dgst
-sha256 -sign` (DER made r||s) passes `check`, served over https or given with --signature, and
the tool's key id is the SHA-256 of the key's DER SubjectPublicKeyInfo.

Run by run_with_devsite.py, which serves its catalog, signed with the PKI's dev key, on
TWI_TEST_SITE_PORT.   test_catalog_signing.py --tool EXE --pki DIR
"""

import argparse
import base64
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "devsite"))
import catalog_signing  # noqa: E402

PUBLISHER = "Tarnwick Software Ltd"
TIMEOUT = 60
config = None


def raw_to_der(raw):
    """The DER ECDSA-Sig-Value of r||s, for openssl dgst -verify."""
    def integer(value):
        value = value.lstrip(b"\0") or b"\0"
        if value[0] & 0x80:
            value = b"\0" + value
        return bytes([0x02, len(value)]) + value
    inner = integer(raw[:32]) + integer(raw[32:])
    return bytes([0x30, len(inner)]) + inner


class CatalogSigning(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="twi-signing-")
        self.addCleanup(shutil.rmtree, self.work, True)
        self.key = os.path.join(config.pki, "catalog.key")
        self.public = os.path.join(config.pki, "catalog.pub.pem")
        self.other = os.path.join(config.pki, "catalog-other.pub.pem")
        self.catalog = os.path.join(self.work, "in.json")
        with open(self.catalog, "w") as f:
            json.dump({"publisher": PUBLISHER, "expires": "2000-01-01T00:00:00Z", "products": []}, f)

    def tool(self, *arguments):
        return subprocess.run([config.tool, *arguments], capture_output=True, text=True, timeout=TIMEOUT)

    def openssl(self, *arguments, data=b""):
        return subprocess.run(["openssl", *arguments], input=data, capture_output=True, timeout=TIMEOUT)

    def sign(self, *options):
        out = os.path.join(self.work, "out.json")
        run = self.tool("sign", self.catalog, "--key", self.key, *options, "--out", out)
        self.assertEqual(run.returncode, 0, run.stderr)
        prefix = "Tarnwick-Catalog-Signature: "
        self.assertTrue(run.stdout.startswith(prefix), run.stdout)
        with open(out, "rb") as f:
            return f.read(), run.stdout[len(prefix):].strip()

    def check_file(self, body, signature, *keys):
        path = os.path.join(self.work, "served.json")
        with open(path, "wb") as f:
            f.write(body)
        options = [option for key in keys for option in ("--catalog-key", key)]
        return self.tool("check", path, *options, "--publisher", PUBLISHER, "--signature", signature)

    def test_the_key_id_is_the_digest_of_the_public_key_der(self):
        der = self.openssl("pkey", "-pubin", "-in", self.public, "-outform", "DER").stdout
        run = self.tool("keyid", self.public)
        self.assertEqual(run.stdout, hashlib.sha256(der).hexdigest()[:16] + "\n")

    def test_a_catalog_the_tool_signs_verifies_with_openssl_and_changed_does_not(self):
        body, header = self.sign("--days", "3")
        self.assertNotIn(b"2000-01-01", body, "the old expiry was kept")
        key_id, signature = header.split(" ")
        self.assertEqual(key_id, self.tool("keyid", self.public).stdout.strip())
        der = os.path.join(self.work, "signature.der")
        with open(der, "wb") as f:
            f.write(raw_to_der(base64.b64decode(signature, validate=True)))
        for what, data, verified in [("as signed", body, True), ("one byte changed", body.replace(b"[]", b"[ ]"), False)]:
            with self.subTest(what):
                run = self.openssl("dgst", "-sha256", "-verify", self.public, "-signature", der, data=data)
                self.assertEqual(run.returncode == 0, verified, run.stdout + run.stderr)

    def test_a_catalog_openssl_signs_passes_check_with_its_key_only(self):
        with open(self.catalog, "rb") as f:
            body = f.read().replace(b"2000-01-01", b"2099-01-01")
        header = catalog_signing.CatalogSigner(self.key).header_value(body)
        accepted = self.check_file(body, header, self.other, self.public)
        self.assertEqual(accepted.returncode, 0, accepted.stdout + accepted.stderr)
        self.assertIn("signed by key " + header.split(" ")[0] + ", expires 2099-01-01T00:00:00Z", accepted.stdout)
        refused = self.check_file(body, header, self.other)
        self.assertEqual(refused.returncode, 1)
        self.assertIn("error: catalog: the Installer refuses the catalog: unknown key", refused.stdout)
        old = body.replace(b"2099", b"2000")
        expired = self.check_file(old, catalog_signing.CatalogSigner(self.key).header_value(old), self.public)
        self.assertIn("error: expires: the catalog expired at 2000-01-01T00:00:00Z", expired.stdout)

    def test_check_judges_the_header_an_https_site_serves(self):
        site = "https://localhost:%s" % os.environ["TWI_TEST_SITE_PORT"]
        trust = os.path.join(config.pki, "ca.pem")
        for key, line in [(self.public, "note: catalog: signed by key "),
                          (self.other, "error: catalog: the Installer refuses the catalog: unknown key")]:
            with self.subTest(key=os.path.basename(key)):
                run = self.tool("check", site, "--ca-file", trust, "--catalog-key", key, "--publisher", PUBLISHER)
                self.assertIn(line, run.stdout, run.stderr)


def main():
    global config
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--pki", required=True)
    config, rest = parser.parse_known_args()
    program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
