"""End-to-end: the pinned Installer, which holds the test PKI's dev catalog key and takes only
"Tarnwick Software Ltd" as its publisher, against catalogs signed, altered or unsigned.

The dev site signs what it serves with openssl (DER made r||s), so every catalog that opens here
is one OpenSSL signed and CNG verified. A refused catalog is played by a scripted answer, signed
by the same code with the dev key or another one.
"""

import base64
import json
import os
import sys

import harness
from harness import INSTALL, STATUS, VERSIONS, InstallerTestCase, windows_path
from sample_site import PUBLISHER, SampleSite
from support.product import sentence  # noqa: E402

sys.path.insert(0, os.path.join(harness.SOURCE, "devsite"))
import catalog_signing  # noqa: E402

CATALOG_PATH = "/api/installer/v1/catalog"
OUTCOME_WAIT = 120.0


UNEXPECTED = sentence("unexpected_answer")
EXPIRED = sentence("catalog_expired")


class SignedCatalog(InstallerTestCase):
    @classmethod
    def setUpClass(cls):
        harness.record_browser_addresses(cls)

    def setUp(self):
        super().setUp()
        self.pinned = os.environ["TWI_E2E_PINNED_PROGRAM"]
        self.markers = os.path.join(self.make_work_dir(), "markers")
        os.makedirs(self.markers)
        self.samples = SampleSite(self.config, self.work_dir)
        self.dev_key = catalog_signing.CatalogSigner(os.path.join(self.config.pki, "catalog.key"))
        self.other_key = catalog_signing.CatalogSigner(os.path.join(self.config.pki, "catalog-other.key"))

    def open(self, catalog, site=True, site_args=()):
        env = {"TWI_SAMPLE_MARKERS": windows_path(self.markers),
               "TWI_BROWSER_LOG": os.path.join(self.work_dir, "browser.log")}
        return self.start(catalog, site=site, site_args=self.samples.site_args() + ["--no-check", *site_args],
                          program=self.pinned, program_env=env)

    def studio(self):
        return self.samples.write([self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0.exe")])

    def install(self, expected):
        self.driver.call("select", VERSIONS, 0)
        self.driver.call("click", INSTALL)
        self.wait_status(expected, OUTCOME_WAIT)

    def trust_steps(self):
        return [line.split(" ", 1)[1] for _, line in harness.support_log_lines(self.config)
                if line.split(" ", 2)[1:2] == ["catalog"]]

    def test_a_signed_catalog_opens_installs_and_the_log_names_its_verdict(self):
        harness.clear_support_logs(self.config)
        self.open(self.studio())
        self.wait_status(sentence("choose_version"))
        self.install(sentence("installed_suffix", label="Studio 2.1.0"))
        self.assertTrue(os.path.exists(os.path.join(self.markers, "Studio-2.1.0.exe.ran")))
        steps = self.trust_steps()
        self.assertEqual(len(steps), 1, steps)
        self.assertRegex(steps[0], r'^catalog accepted, key %s, expires \d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ, '
                                   r'publisher pinned "%s"$' % (self.dev_key.key_id, PUBLISHER))

    def test_refused_and_expired_catalogs_show_their_sentence_and_download_nothing(self):
        with open(self.studio(), "rb") as f:
            document = json.load(f)

        def body(**changes):
            changed = dict(document, expires="2099-01-01T00:00:00Z")
            changed.update(changes)
            return json.dumps({k: v for k, v in changed.items() if v is not None}, indent=2).encode()

        good = body()
        signed = self.dev_key.header_value(good)
        key_id = self.dev_key.key_id
        rows = [  # what, body served, signature headers, sentence
            ("unsigned", good, [], UNEXPECTED),
            ("one byte changed", good.replace(b"Studio", b"Studiq", 1), [signed], UNEXPECTED),
            ("an unknown key", good, [self.other_key.header_value(good)], UNEXPECTED),
            ("a garbage header", good, ["garbage"], UNEXPECTED),
            ("a 63-byte signature", good, ["%s %s" % (key_id, base64.b64encode(bytes(63)).decode())], UNEXPECTED),
            ("two signatures", good, [signed, signed], UNEXPECTED),
            ("no expiry", body(expires=None), None, UNEXPECTED),
            ("a malformed expiry", body(expires="2099-01-01"), None, UNEXPECTED),
            ("another publisher", body(publisher="Other Software Ltd"), None, UNEXPECTED),
            ("expired", body(expires="2020-01-01T00:00:00Z"), None, EXPIRED),
        ]
        site = harness.DevSite(self.config, self.work_dir, self.samples.catalog_path, None,
                               self.samples.site_args() + ["--no-check"])
        self.addCleanup(site.stop)
        for what, served, signatures, expected in rows:
            with self.subTest(what):
                if signatures is None:
                    signatures = [self.dev_key.header_value(served)]
                answer = {"path": CATALOG_PATH, "body": served.decode(),
                          "headers": [["Content-Type", "application/json"]] +
                                     [[catalog_signing.HEADER, value] for value in signatures]}
                self.assertEqual(site.call("POST", "/_dev/answer", json.dumps(answer))[0], 200)
                self.open(None, site=site)
                self.wait_status(expected)
                self.assertEqual(self.driver.rows(harness.PRODUCTS), [])
                self.assertFalse(self.driver.enabled(INSTALL))
                self.close_window()
        self.assertEqual([r["path"] for r in site.requests() if not r["path"].startswith(CATALOG_PATH)], [],
                         "a refused catalog led to a download")
        self.assertNothingStaged()

    def test_the_catalog_reloaded_with_a_pass_is_signed_and_shows_the_beta(self):
        harness.clear_support_logs(self.config)
        catalog = self.samples.write_beta_behind_sign_in()
        self.open(catalog, site_args=["--link-interval", "1", "--link-auto", "approved"])
        self.wait_status(sentence("choose_version"))
        self.driver.call("click", harness.BETA)
        self.driver.call("click", harness.SIGN_IN)
        self.wait_status(sentence("signed_in"), 30)
        self.assertEqual(len(self.driver.rows(VERSIONS)), 1)
        with_pass = [r for r in self.site.requests() if r["path"].startswith(CATALOG_PATH)
                     and any(name.lower() == "authorization" for name, _ in r["headers"])]
        self.assertEqual([r.get("status") for r in with_pass], [200])
        steps = self.trust_steps()
        self.assertEqual(len(steps), 2, steps)
        self.assertTrue(all(step.startswith("catalog accepted, key " + self.dev_key.key_id) for step in steps))

    def test_an_announced_length_above_size_bytes_is_refused_before_its_body(self):
        sha256, size = self.samples.stage_large("Studio-2.1.0.exe", 8 << 20)
        self.open(self.samples.write([{"version": "2.1.0", "fileName": "Studio-2.1.0.exe", "sizeBytes": 4096,
                                       "sha256": sha256,
                                       "downloadUrl": self.samples.url("/downloads/Studio-2.1.0.exe")}]))
        self.wait_status(sentence("choose_version"))
        self.install(sentence("check_failed", host="localhost"))
        self.assertFalse(os.path.exists(os.path.join(self.markers, "Studio-2.1.0.exe.ran")))
        downloads = [line for _, line in harness.support_log_lines(self.config) if " download GET " in line]
        self.assertTrue(downloads and " status 200, 0 bytes," in downloads[-1], downloads)
        self.assertNothingStaged()


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
