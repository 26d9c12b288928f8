"""End-to-end tests of the beta download sign-in: the real program, the dev site's link exchanges
and approval page, and a stand-in browser that only writes down the address it was given.

A test approves or denies a code the way a person would, through the approval page's own form.
"""

import os
import re
import sys

import harness
from harness import (BETA, BETA_NOTE, CANCEL_SIGN_IN, DriverError, INSTALL, OFFICIAL, SIGN_IN, STATUS,
                     VERSIONS, InstallerTestCase, windows_path)
from sample_site import PUBLISHER, SampleSite
from support.product import sentence  # noqa: E402

SIGNED_IN = sentence("signed_in")
PASS_ENDED = sentence("pass_ended")
APPROVE = sentence("approve_in_browser")
CODE_WAIT = 30.0


class SignInTestCase(InstallerTestCase):
    @classmethod
    def setUpClass(cls):
        harness.record_browser_addresses(cls)
        harness.check_support_log_for_secrets(cls)

    def open(self, site_args=()):
        """Studio with an official build and a beta behind the sign-in, on its Beta channel."""
        samples = SampleSite(self.config, self.make_work_dir())
        catalog = samples.write_beta_behind_sign_in()
        self.browser_log = os.path.join(self.work_dir, "browser.log")
        env = {"TWI_BROWSER_LOG": self.browser_log,
               "TWI_SAMPLE_MARKERS": windows_path(os.path.join(self.work_dir, "markers"))}
        driver = self.start(catalog, site_args=samples.site_args() + ["--link-interval", "1", *site_args],
                            program_env=env)
        self.wait_status(sentence("choose_version"))
        driver.call("click", BETA)
        self.assertTrue(driver.visible(SIGN_IN))
        return driver

    def sign_in(self):
        """Presses Sign in and returns the code the browser was sent to approve."""
        self.driver.call("click", SIGN_IN)
        address = harness.wait_for(lambda: harness.last_opened_address(self.browser_log), CODE_WAIT,
                                   "the approval page in the browser")
        self.assertEqual(self.driver.text(BETA_NOTE), APPROVE)
        code = harness.approval_code(address)
        self.assertRegex(code, r"^[0-9A-HJKMNP-TV-Z]{4}-[0-9A-HJKMNP-TV-Z]{4}$")
        return code

    def assert_logged_once(self, beginnings):
        """Each beginning starts at least one stamped step of the support log."""
        lines = [line for _, line in harness.support_log_lines(self.config)]
        for line in lines:
            self.assertRegex(line, r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z \S")
        steps = [line.split(" ", 1)[1] for line in lines]
        for beginning in beginnings:
            self.assertTrue([step for step in steps if step.startswith(beginning)], "%r not in %s" % (beginning, steps))

    def bearers(self):
        """(path, bearer) of every request the site saw that carried one."""
        seen = []
        for request in self.site.requests():
            value = dict(request["headers"]).get("Authorization", "")
            if value:
                seen.append((request["path"], value[len("Bearer "):]))
        return seen


class Approval(SignInTestCase):
    def test_an_approved_code_unlocks_the_betas_and_the_pass_goes_to_the_site_only(self):
        driver = self.open()
        self.site.decide(self.sign_in(), "approve")
        self.wait_status(SIGNED_IN, CODE_WAIT)
        self.assertEqual(driver.rows(VERSIONS), ["2.2.0-beta.1 (latest)"])
        self.assertFalse(driver.visible(SIGN_IN))

        self.driver.call("click", INSTALL)
        self.wait_status(sentence("installed_suffix", label="Studio 2.2.0-beta.1"), 120)
        self.assert_logged_once(["start Installer 1.0.0, Windows ", "request GET /api/installer/v1/catalog status 200, ",
                                 "request POST /api/installer/v1/link/poll status 200, ",
                                 "download GET Studio-2.2.0-beta.1.exe status 200, ", "hash matches, expected ",
                                 'signer accepted, read "%s"' % PUBLISHER, "setup exit code 0",
                                 "outcome " + driver.text(STATUS)])
        carried = self.bearers()
        passes = {token for _, token in carried if token.startswith("twdp_")}
        self.assertEqual(len(passes), 1, carried)
        where = sorted({re.sub(r"\?.*", "", path) for path, token in carried if token in passes})
        self.assertEqual(where, ["/api/installer/v1/catalog", "/downloads/Studio-2.2.0-beta.1.exe"])
        polls = [token for path, token in carried if path.endswith("/link/poll")]
        self.assertTrue(polls and all(t.startswith("twdl_") for t in polls), carried)

    def test_a_pass_the_site_revoked_ends_and_is_not_sent_again(self):
        driver = self.open()
        self.site.decide(self.sign_in(), "approve")
        self.wait_status(SIGNED_IN, CODE_WAIT)
        token = next(t for _, t in self.bearers() if t.startswith("twdp_"))
        self.assertEqual(self.site.call("POST", "/_dev/revoke", '{"pass": "%s"}' % token)[0], 200)

        driver.call("click", INSTALL)
        self.wait_status(PASS_ENDED, 120)
        self.assertTrue(driver.visible(SIGN_IN), "the Beta view does not ask for a sign-in again")
        driver.call("click", OFFICIAL)
        driver.call("click", INSTALL)
        self.wait_status(sentence("installed_suffix", label="Studio 2.1.0"), 120)
        last = self.site.requests()[-1]
        self.assertTrue(last["path"].startswith("/downloads/Studio-2.1.0"), last["path"])
        self.assertNotIn("Authorization", dict(last["headers"]))


class OtherEndings(SignInTestCase):
    def test_a_denied_code(self):
        driver = self.open()
        self.site.decide(self.sign_in(), "deny")
        self.wait_status(sentence("sign_in_denied"), CODE_WAIT)
        self.assertTrue(driver.visible(SIGN_IN))

    def test_a_code_that_ran_out(self):
        driver = self.open(site_args=["--link-expires", "2"])
        self.sign_in()
        self.wait_status(sentence("sign_in_expired"), CODE_WAIT)
        self.assertTrue(driver.visible(SIGN_IN))

    def test_cancel_says_nothing_and_asks_for_a_sign_in_again(self):
        driver = self.open()
        self.sign_in()
        status = driver.text(STATUS)
        driver.call("click", CANCEL_SIGN_IN)
        harness.wait_for(lambda: driver.visible(SIGN_IN), 10, "the sign-in button again")
        self.assertEqual(driver.text(STATUS), status)
        self.assertFalse(driver.visible(CANCEL_SIGN_IN))

    def test_an_offline_site(self):
        driver = self.open()
        self.site.stop()
        driver.call("click", SIGN_IN)
        self.wait_status(sentence("unreachable"), CODE_WAIT)

    def test_a_second_press_starts_no_second_sign_in(self):
        driver = self.open()
        self.sign_in()
        with self.assertRaises(DriverError):
            driver.call("click", SIGN_IN)  # hidden while waiting; a click on it is refused
        driver.call("click", BETA)  # showing the channel again must not start one either
        starts = [r for r in self.site.requests() if r["path"].endswith("/link/start")]
        self.assertEqual(len(starts), 1)


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
