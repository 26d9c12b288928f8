"""A site that lies, stalls or attacks: the real Installer against scripted misbehaviour of the
dev site and of servers on other loopback ports, each scenario with the sentence the user must
see. After every scenario: no setup program ran unless it should (the samples' markers), no
bearer reached any host but the site (the servers' request logs), no staging folder was left.

Most scenarios are rows of one table, installed one after another by one signed-in Installer, so
that a pass is at stake in every one of them. Scenarios that need a fresh start or a site of
another kind are tables of their own.
"""

import json
import os
import re
import socket
import sys
import time
import urllib.parse

import harness
from harness import (BACK, BETA, INSTALL, OFFICIAL, PRODUCTS, SIGN_IN, STATUS, VERSIONS, DevSite,
                     InstallerTestCase, windows_path)
from sample_site import SampleSite
from support.product import sentence  # noqa: E402

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "servers"))
from run_with_devsite import in_own_hosts, write_named_hosts  # noqa: E402

API = "/api/installer/v1"
CHOOSE_VERSION = sentence("choose_version")
SIGNED_IN = sentence("signed_in")
UNFINISHED = sentence("download_unfinished")
UNREACHABLE = sentence("unreachable")
UNEXPECTED = sentence("unexpected_answer")
SIGN_IN_FAILED = sentence("sign_in_failed")
OUTCOME_WAIT = 120.0
CLOSE_LIMIT = 2.0  # seconds from Close until the process has ended


def check_failed(host):
    return sentence("check_failed", host=host)


def installed(version):
    return sentence("installed_suffix", label="Studio %s" % version)


class Row:
    """One scenario of a table: a build (or a document), the sentence, whether a setup runs, and
    what must be done before it and checked after it."""

    def __init__(self, name, sentence, runs=False, build=None, before=None, after=None):
        self.name, self.sentence, self.runs = name, sentence, runs
        self.build, self.before, self.after = build, before, after


class SilentServer:
    """Accepts connections on the site's port (the system does, from its backlog) and never
    answers."""

    def __init__(self, port):
        self.socket = socket.create_server(("127.0.0.1", port), backlog=8)

    def stop(self):
        self.socket.close()


class HostileTestCase(InstallerTestCase):
    @classmethod
    def setUpClass(cls):
        harness.record_browser_addresses(cls)
        harness.check_support_log_for_secrets(cls)

    def setUp(self):
        super().setUp()
        self.samples = SampleSite(self.config, self.make_work_dir())
        self.markers = os.path.join(self.work_dir, "markers")
        os.makedirs(self.markers)
        self.others = []

    def port(self, offset):
        return self.config.site_port + offset

    def other_site(self, offset, *args, certificate="server"):
        """A dev site on another loopback port, whose log the bearer check reads too."""
        log_dir = os.path.join(self.work_dir, "other-%d" % offset)
        os.makedirs(log_dir)
        site = DevSite(self.config, log_dir, None, None, ["--no-check", *args], port=self.port(offset),
                       certificate=certificate)
        self.addCleanup(site.stop)
        site.log_path = os.path.join(log_dir, "devsite.log")
        self.others.append(site)
        return site

    def open(self, builds, site_args=(), betas=True, checked=True, **start):
        """Studio with the given official builds, and a beta behind the sign-in when betas is set;
        checked: the logs and the staging folder are checked when the test ends."""
        if betas:
            builds = [self.samples.build("9.9.9-beta.1", "sample-setup-exit-0.exe", "Studio-beta.exe",
                                         track="beta")] + builds
        catalog = self.samples.write(builds, betas_need_sign_in=betas)
        env = {"TWI_SAMPLE_MARKERS": windows_path(self.markers),
               "TWI_BROWSER_LOG": os.path.join(self.work_dir, "browser.log")}
        args = self.samples.site_args() + ["--no-check", "--link-interval", "1", "--link-auto", "approved", *site_args]
        driver = self.start(catalog, site_args=args, program_env=env, **start)
        if checked:
            self.check_when_done()
        return driver

    def check_when_done(self):
        """Checks the logs and the staging folder once the test is over, before its servers stop."""
        self.addCleanup(self.assertNothingStaged)
        self.addCleanup(self.assert_no_bearer_left_the_site)

    def sign_in(self):
        """Signs in through the Beta channel (the site approves at the first poll); returns the pass."""
        self.driver.call("click", BETA)
        self.driver.call("click", SIGN_IN)
        self.wait_status(SIGNED_IN, 30)
        return next(bearer for _, bearer in self.bearers(self.site) if bearer.startswith("twdp_"))

    def script(self, path, status=200, headers=(), body="", times=1, site=None):
        answer = {"path": path, "status": status, "headers": [list(h) for h in headers], "body": body,
                  "times": times}
        self.secrets.update(harness.secrets_in_answer(headers, body))
        status, _ = (site or self.site).call("POST", "/_dev/answer", json.dumps(answer))
        self.assertEqual(status, 200)

    def run_rows(self, rows, first_row=0):
        """Installs the rows' builds in turn from the shown version list."""
        for index, row in enumerate(rows):
            with self.subTest(row.name):
                if row.before:
                    row.before()
                ran_before = set(os.listdir(self.markers))
                self.driver.call("select", VERSIONS, first_row + index)
                self.driver.call("click", INSTALL)
                self.wait_status(row.sentence, OUTCOME_WAIT)
                ran = set(os.listdir(self.markers)) - ran_before
                self.assertEqual(len(ran), 1 if row.runs else 0, "setup programs run: %s" % sorted(ran))
                self.assertNothingStaged()
                if row.after:
                    row.after()

    @staticmethod
    def bearers(site):
        """(Host, bearer) of every request the site saw with an Authorization header."""
        seen = []
        for request in site.requests():
            headers = dict(request["headers"])
            if "Authorization" in headers:
                seen.append((headers.get("Host"), headers["Authorization"][len("Bearer "):]))
        return seen

    def assert_no_bearer_left_the_site(self):
        site_host = getattr(self, "site_host", "localhost:%d" % self.config.site_port)
        if self.site is not None and hasattr(self.site, "requests"):
            hosts = {host for host, _ in self.bearers(self.site)}
            self.assertLessEqual(hosts, {site_host}, "a bearer went to another host")
        for other in self.others:
            self.assertEqual(self.requests_logged(other), [], "another host was contacted")

    @staticmethod
    def requests_logged(site):
        """Request lines in a site's log file: it also logs the handshakes a client broke off."""
        with open(site.log_path) as log:
            return [line for line in log if '"' in line]

    def end_run(self):
        """Stops this run's program, driver and site, so that the next row can start afresh."""
        self.program.stop()
        self.driver.stop()
        if self.site is not None:
            self.site.stop()

    def requests_to(self, path):
        return [r for r in self.site.requests() if r["path"].split("?")[0] == path]


class OneInstallerManyDownloads(HostileTestCase):
    def test_downloads_that_lie_or_lead_elsewhere(self):
        site, url, samples = self.config.site_port, self.samples.url, self.samples
        check = check_failed("localhost")
        foreign = self.other_site(1)
        old_tls = self.other_site(2, "--old-tls")
        stranger = self.other_site(3, certificate="stranger")
        samples.stage("sample-setup-exit-8.exe", "Studio-8.exe")
        samples.stage("signed-sample-library.dll", "Studio-library.dll")
        echoed = {}

        def moved(target):
            return url("/moved?to=" + urllib.parse.quote(target, safe=""))

        def build(version, sample="sample-setup-exit-0.exe", file_name=None, **kwargs):
            return samples.build(version, sample, file_name or "Studio-%s.exe" % version, **kwargs)

        def replace_on_site(file_name):
            return lambda: samples.stage("sample-setup-exit-8.exe", file_name)

        def handshakes_refused(other):
            def check():
                with open(other.log_path) as log:
                    self.assertIn("handshake", log.read(), "the client never tried %d" % other.port)
            return check

        def asked_once_without_credentials(path):
            def check():
                asked = self.requests_to(path)
                self.assertEqual(len(asked), 1)
                for name, value in asked[0]["headers"]:
                    self.assertNotEqual(name.lower(), "proxy-authorization")
                    if name.lower() == "authorization":
                        self.assertTrue(value.startswith("Bearer twdp_"), value)
            return check

        def fetched_at_most(limit):
            def check():
                downloads = [line for _, line in harness.support_log_lines(self.config) if " download GET " in line]
                fetched = int(re.search(r", (\d+) bytes,", downloads[-1]).group(1))
                self.assertLessEqual(fetched, limit, downloads[-1])
            return check

        def loop_followed_six_times():
            self.assertEqual(len(self.requests_to("/loop")), 6)

        def echo_pass():
            message = "Bearer %s is not welcome" % echoed["pass"]
            self.script("/echo", 500, body=json.dumps({"error": {"code": "SERVER_ERROR", "message": message}}))

        def pass_shown_nowhere():
            texts = [self.driver.text(child["id"]) for child in self.driver.call("children")]
            self.assertFalse([text for text in texts + [self.driver.call("title")] if echoed["pass"] in text])

        rows = [
            # Checks: only the catalog's file, signed by exactly its publisher, runs.
            Row("wrong hash", check, build=build("8.0.40", sha256="0" * 64)),
            Row("unsigned", check, build=build("8.0.39", "unsigned.exe")),
            Row("tampered", check, build=build("8.0.38", "tampered.exe")),
            Row("signer in other letter case", check, build=build("8.0.37", "signed-case.exe")),
            Row("signer with the publisher as a prefix", check, build=build("8.0.36", "signed-prefix.exe")),
            Row("a signed library served as the setup", check,
                build=dict(build("8.0.35"), downloadUrl=url("/downloads/Studio-library.dll"))),
            Row("the catalog vouches for a signed library", sentence("installer_not_started", host="localhost"),
                build=build("8.0.34", "signed-sample-library.dll")),
            Row("another version's signed setup (mix and match)", check,
                build=dict(build("8.0.33"), downloadUrl=url("/downloads/Studio-8.exe"))),
            Row("the file changed on the site after the catalog", check, build=build("8.0.32"),
                before=replace_on_site("Studio-8.0.32.exe")),
            # Addresses: refused before any connection, so the other servers' logs stay empty.
            Row("redirect to a foreign host", UNFINISHED,
                build=build("8.0.31", url=moved("https://127.0.0.1:%d/downloads/Studio-8.exe" % foreign.port))),
            Row("redirect to downloads. of a loopback site", UNFINISHED,
                build=build("8.0.30", url=moved("https://downloads.localhost:%d/downloads/Studio-8.exe" % site))),
            Row("redirect to a look-alike host", UNFINISHED,
                build=build("8.0.29", url=moved("https://localhost.tarnwick.test:%d/downloads/Studio-8.exe" % site))),
            Row("redirect with @ in the authority", UNFINISHED,
                build=build("8.0.28", url=moved("https://localhost:%d@127.0.0.1:%d/downloads/Studio-8.exe"
                                                % (site, foreign.port)))),
            Row("relative redirect without /", UNFINISHED,
                build=build("8.0.27", url=moved("downloads/Studio-8.exe"))),
            Row("redirect loop", UNFINISHED, build=build("8.0.26", url=url("/loop")),
                before=lambda: self.script("/loop", 302, [("Location", "/loop")], times=50),
                after=loop_followed_six_times),
            Row("six hops", UNFINISHED, build=build("8.0.25", url=url("/hops/6/downloads/Studio-8.0.25.exe"))),
            Row("five hops keep the pass", installed("8.0.24"), runs=True,
                build=build("8.0.24", url=url("/hops/5/downloads/Studio-8.0.24.exe"))),
            # No proxy in between: a 407 is the site's answer, and no Windows sign-in goes out for it.
            Row("a 407 from the site", UNFINISHED, build=build("8.0.11", url=url("/proxy-wall")),
                before=lambda: self.script("/proxy-wall", 407, [("Proxy-Authenticate", "NTLM")], times=2),
                after=asked_once_without_credentials("/proxy-wall")),
            # No length: the body is cut once it runs past the catalog's size by the larger of 10 % and 1 MiB.
            Row("400 MiB in chunks for a 2 MiB build", check,
                build=dict(build("8.0.10", None, "Studio-endless.exe", url=url("/bytes/%d?unsized=chunked" % (400 << 20))),
                           sizeBytes=2 << 20),
                after=fetched_at_most(4 << 20)),
            # The pass.
            Row("the pass echoed in an error", UNFINISHED, build=build("8.0.23", url=url("/echo")),
                before=echo_pass, after=pass_shown_nowhere),
            # Transport.
            Row("TLS below 1.2", UNFINISHED,
                build=build("8.0.22", url="https://localhost:%d/downloads/x.exe" % old_tls.port),
                after=handshakes_refused(old_tls)),
            Row("an unknown CA", UNFINISHED,
                build=build("8.0.21", url="https://localhost:%d/downloads/x.exe" % stranger.port)),
            Row("a body longer than its Content-Length", installed("8.0.20"), runs=True,
                build=build("8.0.20", url=url("/downloads/Studio-8.0.20.exe?pad=100000"))),
            Row("a body shorter than its Content-Length", UNFINISHED,
                build=build("8.0.19", None, "Studio-short.exe", url=url("/bytes/1000?short=1"))),
            # Names from the catalog.
            Row("a path-climbing name", installed("8.0.18"), runs=True,
                build=build("8.0.18", file_name="..\\..\\..\\..\\Studio-climb.exe")),
            Row("a device name", installed("8.0.17"), runs=True, build=build("8.0.17", file_name="CON")),
            Row("a device name with an extension", installed("8.0.16"), runs=True,
                build=build("8.0.16", file_name="NUL.exe")),
            Row("a serial port's name", installed("8.0.15"), runs=True, build=build("8.0.15", file_name="COM1.exe")),
            Row("trailing dots and spaces", installed("8.0.14"), runs=True,
                build=build("8.0.14", file_name="Studio-dots.exe. . .")),
            Row("a very long name", installed("8.0.13"), runs=True,
                build=build("8.0.13", file_name="S" * 250 + ".exe")),
            Row("only refused characters", installed("8.0.12"), runs=True,
                build=dict(build("8.0.12"), fileName='<>:"|?*')),
        ]
        self.open([row.build for row in rows])
        self.wait_status(CHOOSE_VERSION)
        echoed["pass"] = self.sign_in()
        self.driver.call("click", OFFICIAL)
        self.run_rows(rows)
        temp_folders = [os.path.dirname(shared) for shared in harness.shared_staging_folders(self.config)]
        self.assertTrue(temp_folders, "no staging folder")
        outside = [name for temp in temp_folders for name in os.listdir(temp) if "Studio" in name]
        self.assertEqual(outside, [], "a name climbed out of its folder")


class CatalogHops(HostileTestCase):
    """The catalog's redirects, each judged before anything connects to its target."""

    def open_redirected(self, location):
        site = DevSite(self.config, self.work_dir, self.samples.write_beta_behind_sign_in(), None,
                       self.samples.site_args() + ["--no-check"])
        self.addCleanup(site.stop)
        self.script(API + "/catalog", 302, [("Location", location)], site=site)
        self.start(self.samples.catalog_path, site=site)

    def test_a_catalog_redirected_off_the_site_is_refused_and_one_within_it_followed(self):
        foreign = self.other_site(1)
        rows = [  # name, Location, sentence, catalog requests the site saw
            ("off the site", "https://127.0.0.1:%d%s/catalog?platform=windows" % (foreign.port, API), UNEXPECTED, 1),
            ("down to plain http", "http://localhost:%d%s/catalog" % (self.config.site_port, API), UNEXPECTED, 1),
            ("within the site", API + "/catalog?platform=windows", CHOOSE_VERSION, 2),
        ]
        for name, location, expected, count in rows:
            with self.subTest(name):
                try:
                    self.open_redirected(location)
                    self.wait_status(expected, 40)
                    self.assertEqual(len(self.requests_to(API + "/catalog")), count)
                    self.assertEqual(self.requests_logged(foreign), [], "the foreign host was contacted")
                finally:
                    self.end_run()


class NamedSite(HostileTestCase):
    """The Installer of a site with a real-looking name, where tarnwick.test and
    downloads.tarnwick.test name the loopback address."""

    def test_a_real_looking_site_keeps_its_pass_at_home_and_plain_http_out(self):
        program = os.environ.get("TWI_E2E_NAMED_SITE_PROGRAM")
        hosts = os.path.join(self.work_dir, "hosts")
        write_named_hosts(hosts)
        wrapper = in_own_hosts(hosts, [])
        if not program or wrapper is None:
            self.skipTest("needs the named-site Installer and a mount namespace of its own")
        port = self.config.site_port
        self.site_host = "tarnwick.test:%d" % port

        def on(host, target):
            return "https://%s:%d%s" % (host, port, target)

        def moved(target):
            return on("tarnwick.test", "/moved?to=" + urllib.parse.quote(target, safe=""))

        def build(version, url):
            return self.samples.build(version, "sample-setup-exit-0.exe", "Studio-%s.exe" % version, url=url)

        def reached_downloads_host():
            hosts = [dict(r["headers"]).get("Host") for r in self.site.requests()]
            self.assertIn("downloads.tarnwick.test:%d" % port, hosts)

        rows = [
            Row("a redirect to the downloads host, which never sees the pass", installed("3.0.4"), runs=True,
                build=build("3.0.4", moved(on("downloads.tarnwick.test", "/downloads/Studio-3.0.4.exe"))),
                after=reached_downloads_host),
            Row("plain http on the downloads host", UNFINISHED,
                build=build("3.0.3", moved("http://downloads.tarnwick.test:%d/downloads/Studio-3.0.3.exe" % port))),
            Row("plain http on the site itself", UNFINISHED,
                build=build("3.0.2", "http://tarnwick.test:%d/downloads/Studio-3.0.2.exe" % port)),
            Row("a look-alike of the downloads host", UNFINISHED,
                build=build("3.0.1", moved(on("downloads.tarnwick.test.example", "/downloads/Studio-3.0.1.exe")))),
            # The downloads host never had the pass, so its 401 cannot end it.
            Row("a 401 from the downloads host", UNFINISHED,
                build=build("3.0.0", moved(on("downloads.tarnwick.test", "/refuse/401?code=INVALID_TOKEN")))),
        ]
        self.open([row.build for row in rows], program=program, wrapper=wrapper)
        self.wait_status(CHOOSE_VERSION)
        self.sign_in()
        self.driver.call("click", OFFICIAL)
        self.run_rows(rows)
        with open(os.path.join(self.work_dir, "devsite.log")) as log:
            self.assertNotIn("handshake", log.read(), "plain http reached the site")


class SignInAnswers(HostileTestCase):
    def test_sign_in_answers_of_the_wrong_shape_and_bearers_that_would_be_redirected(self):
        foreign = self.other_site(1)
        elsewhere = "https://127.0.0.1:%d" % foreign.port
        start = {"linkCode": "ABCD2345", "authorizeUrl": "https://localhost/installer/approve",
                 "pollToken": "twdl_" + "A" * 43, "expiresInSec": 60, "pollIntervalSec": 1}
        approved = {"status": "approved", "download": {"downloadPass": "twdp_" + "B" * 43, "expiresInSec": 3600,
                                                       "channels": ["release", "test"]}}
        rows = [
            ("a link code of the wrong shape", "/link/start", dict(start, linkCode="ABCD-2345")),
            ("a poll token of the wrong shape", "/link/start", dict(start, pollToken="twdp_" + "A" * 43)),
            ("a pass of the wrong shape", "/link/poll",
             dict(approved, download=dict(approved["download"], downloadPass="twdp_short"))),
            ("a status that is a number", "/link/poll", {"status": 7}),
        ]
        self.open([self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0.exe")])
        self.wait_status(CHOOSE_VERSION)
        self.driver.call("click", BETA)
        for index, (name, path, answer) in enumerate(rows):
            with self.subTest(name):
                self.script(API + path, 200, [("Content-Type", "application/json")], json.dumps(answer), times=20)
                self.driver.call("click", SIGN_IN)
                harness.wait_for(lambda: len(self.requests_to(API + "/link/start")) == index + 1, 30, "a link/start")
                harness.wait_for(lambda: self.driver.visible(SIGN_IN), 60, "the sign-in to end")
                self.assertEqual(self.driver.text(STATUS), SIGN_IN_FAILED)
                self.script(API + path, 404, times=0)

        with self.subTest("a poll, then the catalog with the pass, redirected to another host"):
            # A redirected poll is a passing fault: the next poll, at the site, is approved.
            self.script(API + "/link/poll", 307, [("Location", elsewhere + API + "/link/poll")])
            self.script(API + "/catalog", 302, [("Location", elsewhere + API + "/catalog?platform=windows")])
            polls = len(self.requests_to(API + "/link/poll"))
            self.driver.call("click", SIGN_IN)
            self.wait_status(UNEXPECTED, 60)
            self.assertEqual(len(self.requests_to(API + "/link/poll")) - polls, 2)
            self.assertTrue(any(bearer.startswith("twdp_") for _, bearer in self.bearers(self.site)))


class Reloads(HostileTestCase):
    def test_a_rolled_back_catalog_and_a_pass_that_ends_at_once(self):
        build = self.samples.build
        newer = [build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0.exe"),
                 build("2.0.0", "sample-setup-exit-0.exe", "Studio-2.0.0.exe")]
        # The site grants a pass for 60 seconds, which the Installer drops 60 seconds early.
        self.open(newer, site_args=["--pass-lifetime", "60"])
        self.wait_status(CHOOSE_VERSION)
        self.driver.call("click", OFFICIAL)
        self.assertEqual(self.driver.rows(VERSIONS), ["2.1.0 (latest)", "2.0.0"])
        self.samples.write([build("9.9.9-beta.1", "sample-setup-exit-0.exe", "Studio-beta.exe", track="beta"),
                            newer[1], build("1.9.0", "sample-setup-exit-0.exe", "Studio-1.9.0.exe")],
                           betas_need_sign_in=True)
        self.driver.call("click", BETA)
        self.driver.call("click", SIGN_IN)
        harness.wait_for(lambda: len(self.requests_to(API + "/catalog")) == 2, 30, "the catalog again")
        self.driver.call("click", OFFICIAL)
        self.assertEqual(self.driver.rows(VERSIONS), ["2.0.0 (latest)", "1.9.0"])
        self.run_rows([Row("the rolled-back newest build", installed("2.0.0"), runs=True)])
        self.assertEqual([b for _, b in self.bearers(self.site) if b.startswith("twdp_")], [],
                         "a pass that had ended was sent")


class ClosingOnAStall(HostileTestCase):
    def test_close_during_a_stalled_download_hides_at_once_and_ends_at_once(self):
        mute = SilentServer(self.port(5))
        self.addCleanup(mute.stop)
        rows = [("a body drip-fed at 3 bytes a second", self.samples.url("/bytes/1000000?rate=3")),
                ("an endless body without a length", self.samples.url("/bytes/17179869184?unsized=1")),
                ("a server that takes the request and never answers", self.samples.url("/silent")),
                ("a handshake that never ends", "https://localhost:%d/Studio.exe" % self.port(5))]
        for name, address in rows:
            with self.subTest(name):
                try:
                    self.open([self.samples.build("2.1.0", None, "Studio.exe", url=address)],
                              betas=False, checked=False)
                    self.wait_status(CHOOSE_VERSION)
                    self.driver.call("click", INSTALL)
                    self.wait_status(sentence("downloading"))
                    time.sleep(1)
                    self.driver.call("close")
                    harness.wait_for(lambda: not [w for w in self.driver.call("windows") if w["visible"]], 2,
                                     "the window to hide")
                    # Far below every time-out of the downloader (15 s to connect, 60 s to read).
                    self.assertEqual(self.program.wait(CLOSE_LIMIT), 0)
                    self.assertNothingStaged()
                finally:
                    self.end_run()


    def test_private_messages_from_another_program_change_nothing(self):
        drip = self.samples.build("2.0.0", None, "Studio-drip.exe", url=self.samples.url("/bytes/1000000?rate=3"))
        self.open([self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0.exe"), drip])
        self.wait_status(CHOOSE_VERSION)
        shown = lambda: (self.driver.text(STATUS), self.driver.rows(VERSIONS), self.driver.visible(SIGN_IN),
                         self.driver.enabled(INSTALL))

        def unchanged(seed):
            before = shown()
            self.assertGreater(self.driver.call("post-private", 17, seed), 0)
            time.sleep(1)
            self.assertIsNone(self.program.process.poll(), "the Installer ended")
            self.assertEqual(shown(), before)

        unchanged(1)
        self.driver.call("click", BETA)
        harness.wait_for(lambda: self.driver.visible(SIGN_IN), 10, "the sign-in button")
        unchanged(2)
        self.driver.call("click", OFFICIAL)
        self.wait_status(CHOOSE_VERSION)
        self.driver.call("select", VERSIONS, 1)
        self.driver.call("click", INSTALL)
        self.wait_status(sentence("downloading"))
        unchanged(3)
        self.driver.call("close")
        harness.wait_for(lambda: not [w for w in self.driver.call("windows") if w["visible"]], 2, "the window to hide")
        self.assertEqual(self.program.wait(CLOSE_LIMIT), 0)


class UnfitSites(HostileTestCase):
    def test_a_site_not_fit_to_talk_to_is_unreachable(self):
        pki = self.config.pki
        rows = [("TLS below 1.2", ["--old-tls"]),
                ("an unknown CA", ["--cert", os.path.join(pki, "stranger.pem"), "--key",
                                   os.path.join(pki, "stranger.key")]),
                ("a server that accepts and never answers", None)]
        for name, site_args in rows:
            with self.subTest(name):
                silent = SilentServer(self.config.site_port) if site_args is None else None
                try:
                    self.start(self.samples.write([]), site=silent or True,
                               site_args=(site_args or []) + ["--no-check"])
                    self.wait_status(UNREACHABLE, 40)
                    if site_args:
                        self.site.log_path = os.path.join(self.work_dir, "devsite.log")
                        self.assertEqual(self.requests_logged(self.site), [])
                    self.assertEqual(self.close_window(), 0)
                finally:
                    self.end_run()


class Documents(HostileTestCase):
    def test_catalog_documents_that_try_the_parser(self):
        good = self.samples.build("2.1.0", None, "Studio-2.1.0.exe")

        def document(**members):
            text = json.dumps({"minimumInstallerVersion": "1.0.0", "publisher": "Tarnwick Software Ltd",
                               "products": [{"slug": "studio", "name": "Studio", "builds": [good]}]})
            for key, raw in members.items():
                text = text[:-1] + ', "%s": %s}' % (key, raw)
            return text.encode()

        sizes = [2 ** 64 - 1, -(2 ** 63), 2 ** 64, 2 ** 63]
        limits = json.dumps({"minimumInstallerVersion": "1.0.0", "publisher": "Tarnwick Software Ltd",
                             "products": [{"slug": "studio", "name": "Studio",
                                           "builds": [dict(good, version="2.0.%d" % i, sizeBytes=0)
                                                      for i in range(len(sizes))]}]})
        for size in sizes:
            limits = limits.replace('"sizeBytes": 0', '"sizeBytes": %d' % size, 1)
        rows = [
            ("deep nesting where nothing is read", document(x="[" * 100000 + "]" * 100000), CHOOSE_VERSION),
            ("a name of 900,000 characters", json.dumps(
                {"minimumInstallerVersion": "1.0.0", "publisher": "Tarnwick Software Ltd",
                 "products": [{"slug": "s", "name": "S" * 900000, "builds": [good]},
                              {"slug": "studio", "name": "Studio", "builds": [good]}]}).encode(),
             sentence("choose_product")),
            ("invalid UTF-8", document(x='"\xff\xfe"').replace(b"\xc3\xbf\xc3\xbe", b"\xff\xfe"), UNEXPECTED),
            ("duplicate keys, the last one counting", document(products="[]"), sentence("nothing_to_install")),
            ("sizes at every integer limit", limits.encode(), CHOOSE_VERSION),
            ("a body over 1 MiB", document(x='"%s"' % ("p" * (2 << 20))), UNEXPECTED),
        ]
        for name, body, expected in rows:
            with self.subTest(name):
                path = os.path.join(self.work_dir, "document.json")
                with open(path, "wb") as f:
                    f.write(body)
                try:
                    self.start(path, site_args=["--no-check"])
                    self.wait_status(expected, 40)
                    self.assertEqual(self.close_window(), 0)
                finally:
                    self.end_run()


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
