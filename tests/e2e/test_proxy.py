"""A proxy between the Installer and the site: squid on loopback in front of the site under its
real-looking name, and the 407 and 401 challenges the transport may meet.

Wine's WinHTTP goes direct in WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY mode whatever is set, so under
Wine the Installer takes WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, which reads http_proxy; the tests name
squid there. Answering a Negotiate or NTLM proxy with the signed-in user's credentials needs a
Windows logon (Wine has no ntlm_auth here): only Windows can show that the proxy lets the request
through.
"""

import os
import sys

import harness
from harness import BETA, INSTALL, OFFICIAL, SIGN_IN, VERSIONS, DevSite
from test_hostile import (API, CHOOSE_VERSION, OUTCOME_WAIT, SIGN_IN_FAILED, UNEXPECTED, UNREACHABLE, HostileTestCase,
                          installed)
from support.product import sentence  # noqa: E402

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from run_with_devsite import in_own_hosts, write_named_hosts  # noqa: E402
from squid import Squid  # noqa: E402

PROXY_REFUSED = sentence("proxy_refused")


class ProxyTestCase(HostileTestCase):
    def named_site(self):
        """The Installer of https://tarnwick.test:PORT, the wrapper that runs it, and the hosts
        file squid resolves with. Only squid finds the site: the program's own hosts file sends
        tarnwick.test and downloads.tarnwick.test to 127.0.0.2, where nothing listens."""
        program = os.environ.get("TWI_E2E_NAMED_SITE_PROGRAM")
        hosts = os.path.join(self.make_work_dir(), "hosts")
        write_named_hosts(hosts)
        dead_end = os.path.join(self.work_dir, "hosts-without-the-site")
        with open("/etc/hosts") as system, open(dead_end, "w") as f:
            f.write(system.read() + "\n127.0.0.2 tarnwick.test downloads.tarnwick.test\n")
        wrapper = in_own_hosts(dead_end, [])
        if not program or wrapper is None:
            self.skipTest("needs the named-site Installer and a mount namespace of its own")
        self.site_host = "tarnwick.test:%d" % self.config.site_port
        self.downloads_host = "downloads.tarnwick.test:%d" % self.config.site_port
        return program, wrapper, hosts

    def squid(self, hosts, **options):
        proxy = Squid(hosts, **options)
        self.addCleanup(proxy.remove)
        self.addCleanup(proxy.stop)
        return proxy

    def env(self, proxy):
        return {"http_proxy": "http://127.0.0.1:%d" % proxy.port,
                "TWI_SAMPLE_MARKERS": harness.windows_path(self.markers),
                "TWI_BROWSER_LOG": os.path.join(self.work_dir, "browser.log")}


class ThroughSquid(ProxyTestCase):
    def test_catalog_sign_in_and_download_go_through_the_proxy_inside_tls(self):
        program, wrapper, hosts = self.named_site()
        proxy = self.squid(hosts)
        # The file comes from the downloads host, which the program too reaches only through squid.
        on_downloads = "https://downloads.tarnwick.test:%d/downloads/" % self.config.site_port
        catalog = self.samples.write([
            self.samples.build("3.1.0-beta.1", "sample-setup-exit-0.exe", "Studio-beta.exe", track="beta"),
            self.samples.build("3.0.0", "sample-setup-exit-0.exe", "Studio.exe", url=on_downloads + "Studio.exe"),
        ], betas_need_sign_in=True)
        site_args = self.samples.site_args() + ["--no-check", "--link-interval", "1", "--link-auto", "approved"]
        self.start(catalog, site_args=site_args, program_env=self.env(proxy), program=program, wrapper=wrapper)
        self.check_when_done()
        self.wait_status(CHOOSE_VERSION)
        download_pass = self.sign_in()
        self.assertEqual(self.driver.rows(VERSIONS), ["3.1.0-beta.1 (latest)"])
        self.driver.call("click", OFFICIAL)
        self.driver.call("click", INSTALL)
        self.wait_status(installed("3.0.0"), OUTCOME_WAIT)
        proxy.stop()
        seen = [(code, method, target) for code, method, target in proxy.requests() if method != "-"]
        # Both names lead the program to a dead end, so the installed file came through squid; Wine
        # carries both hosts' exchanges in one tunnel, so squid may log only the first CONNECT.
        self.assertTrue(seen)
        self.assertLessEqual(set(seen), {("TCP_TUNNEL/200", "CONNECT", self.site_host),
                                         ("TCP_TUNNEL/200", "CONNECT", self.downloads_host)})
        squid_saw = proxy.log_text("access.log") + proxy.log_text("cache.log")
        for secret in (download_pass, "twdp_", "twdl_", "Bearer", "/api/"):
            self.assertNotIn(secret, squid_saw)

    def test_a_proxy_that_wants_a_password(self):
        program, wrapper, hosts = self.named_site()
        proxy = self.squid(hosts, require_basic=True)
        self.start(self.samples.write([]), site_args=["--no-check"], program_env=self.env(proxy), program=program,
                   wrapper=wrapper)
        # Wine reads no status from the proxy's answer to CONNECT: it starts TLS on squid's 407 page
        # (squid logs error:invalid-request) and fails with 12157, which reads as no answer. Windows
        # ends the exchange with the 407, which ChallengesInHand shows becoming PROXY_REFUSED.
        self.wait_status(UNREACHABLE, 40)
        proxy.stop()
        self.assertIn(("TCP_DENIED/407", "CONNECT", self.site_host), proxy.requests())
        self.assertEqual(self.site.requests(), [])


class ChallengesInHand(ProxyTestCase):
    """The 407 and 401 answers as the transport gets them, played by the site itself."""

    def open_scripted(self, path, status, challenge, times=2):
        catalog = self.samples.write_beta_behind_sign_in()
        site = DevSite(self.config, self.work_dir, catalog, None, self.samples.site_args() + ["--no-check"])
        self.addCleanup(site.stop)
        self.script(path, status, [challenge], body="<html>sign in</html>", times=times, site=site)
        self.start(catalog, site=site)

    def assert_no_credentials_sent(self):
        """Every header of every request the site saw: no Windows sign-in, for the site or a proxy."""
        for request in self.site.requests():
            for name, value in request["headers"]:
                self.assertNotIn(name.lower(), ("authorization", "proxy-authorization"), request["path"])

    def test_challenges_without_a_proxy_are_answers_and_no_windows_credentials_go_to_the_site(self):
        # The site is loopback, so no proxy is in use: a 407 is the site's own answer, asked once.
        rows = [  # name, status, challenge, sentence, catalog requests
            ("a 407 asking for Basic", 407, ("Proxy-Authenticate", 'Basic realm="corp"'), UNEXPECTED, 1),
            ("a 407 asking for NTLM", 407, ("Proxy-Authenticate", "NTLM"), UNEXPECTED, 1),
            ("a 407 asking for Negotiate", 407, ("Proxy-Authenticate", "Negotiate"), UNEXPECTED, 1),
            ("a site asking for NTLM is not answered", 401, ("WWW-Authenticate", "NTLM"), UNEXPECTED, 1),
        ]
        for name, status, challenge, sentence, count in rows:
            with self.subTest(name):
                try:
                    self.open_scripted(API + "/catalog", status, challenge)
                    self.wait_status(sentence, 40)
                    self.assertEqual(len(self.requests_to(API + "/catalog")), count)
                    self.assert_no_credentials_sent()
                finally:
                    self.end_run()

    def test_a_sign_in_answered_407_without_a_proxy(self):
        self.open_scripted(API + "/link/start", 407, ("Proxy-Authenticate", "NTLM"), times=2)
        self.wait_status(CHOOSE_VERSION)
        self.driver.call("click", BETA)
        self.driver.call("click", SIGN_IN)
        self.wait_status(SIGN_IN_FAILED, 40)
        self.assertEqual(len(self.requests_to(API + "/link/start")), 1)
        self.assert_no_credentials_sent()


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
