"""End-to-end tests of installing and of replacing the Installer: the real program, real signed
sample setup programs (samples.sign) served by the dev site, and the sentence the window shows.

Every sample leaves a marker when it runs, in the test's own folder; no marker means nothing ran.
No test may leave a staging folder behind, except the new Installer of a self-update that started.
"""

import getpass
import glob
import os
import sys
import time
import uuid

import harness
from harness import CLOSE, INSTALL, STATUS, VERSIONS, InstallerTestCase, windows_path
from sample_site import SampleSite
from support.product import sentence  # noqa: E402

SUCCESS_GREEN = (70, 214, 160)
ATTENTION_AMBER = (242, 184, 75)
CHECK_FAILED = sentence("check_failed", host="localhost")
UNFINISHED = sentence("download_unfinished")
OUTCOME_WAIT = 120.0


class InstallTestCase(InstallerTestCase):
    def setUp(self):
        super().setUp()
        self.markers = os.path.join(self.make_work_dir(), "markers")
        os.makedirs(self.markers)
        self.samples = SampleSite(self.config, self.work_dir)

    def open(self, builds, installer=None, minimum="1.0.0", program_env=None, name="Studio"):
        catalog = self.samples.write(builds, installer, minimum, name=name)
        env = dict(program_env or {}, TWI_SAMPLE_MARKERS=windows_path(self.markers))
        return self.start(catalog, site_args=self.samples.site_args(), program_env=env)

    def ran(self, file_name):
        return os.path.exists(os.path.join(self.markers, file_name + ".ran"))

    def working_folder(self, file_name):
        """The folder the sample was started in, the third line of its marker."""
        with open(os.path.join(self.markers, file_name + ".ran"), encoding="utf-8", newline="") as f:
            return f.read().split("\r\n")[2]

    def open_large(self, file_name, size):
        """Studio 2.1.0 as a signed file of `size` bytes, ready to install."""
        sha256, size = self.samples.stage_large(file_name, size)
        driver = self.open([{"version": "2.1.0", "fileName": file_name, "sizeBytes": size, "sha256": sha256,
                             "downloadUrl": self.samples.url("/downloads/" + file_name)}])
        self.wait_status(sentence("choose_version"))
        return driver

    def install_row(self, row, expected, seconds=OUTCOME_WAIT):
        self.driver.call("select", VERSIONS, row)
        self.driver.call("click", INSTALL)
        self.wait_status(expected, seconds)


class UnwritableLog(InstallTestCase):
    def test_a_log_folder_that_is_a_file_stops_no_install_and_shows_nothing(self):
        harness.clear_support_logs(self.config)
        self.addCleanup(harness.clear_support_logs, self.config)
        locals_ = glob.glob(os.path.join(self.config.prefix, "drive_c", "users", "*", "AppData", "Local"))
        self.assertTrue(locals_, "no LOCALAPPDATA in the prefix")
        for local in locals_:
            os.makedirs(os.path.join(local, "TarnwickInstaller"), exist_ok=True)
            open(os.path.join(local, "TarnwickInstaller", "Logs"), "w").close()
        driver = self.open([self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0.exe")])
        self.wait_status(sentence("choose_version"))
        self.install_row(0, sentence("installed_suffix", label="Studio 2.1.0"))
        self.assertTrue(self.ran("Studio-2.1.0.exe"))
        self.assertEqual(len([w for w in driver.call("windows") if w["visible"]]), 1, "a dialog showed")
        still_files = [os.path.isfile(path) for path in harness.support_log_folders(self.config)]
        self.assertEqual(still_files, [True] * len(locals_), "the Installer replaced the file it could not write in")


class StartLine(InstallTestCase):
    def test_the_log_opens_with_the_start_though_the_catalog_is_asked_for_first(self):
        harness.clear_support_logs(self.config)
        self.addCleanup(harness.clear_support_logs, self.config)
        self.open([self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0.exe")])
        self.wait_status(sentence("choose_version"))
        steps = [line.split(" ", 1)[1] for _, line in harness.support_log_lines(self.config)]
        self.assertRegex(" | ".join(steps[:2]), r"^start Installer .* \| request GET /api/installer/v1/catalog ")


class Outcomes(InstallTestCase):
    def test_each_exit_code_gets_its_sentence_in_its_colour(self):
        rows = [
            ("2.1.0", "sample-setup-exit-0.exe", sentence("installed_suffix", label="Studio 2.1.0"), SUCCESS_GREEN),
            ("2.0.9", "sample-setup-exit-3010.exe", sentence("installed_restart_needed", label="Studio 2.0.9"),
             ATTENTION_AMBER),
            ("2.0.8", "sample-setup-exit-8.exe",
             sentence("restart_needed"), None),
            ("2.0.7", "sample-setup-exit-1641.exe", sentence("installed_restarting", label="Studio 2.0.7"),
             ATTENTION_AMBER),
            ("2.0.6", "sample-setup-exit-1618.exe",
             sentence("another_install_running"), ATTENTION_AMBER),
            ("2.0.5", "sample-setup-exit-5.exe", sentence("install_cancelled"), None),
            ("2.0.2", "sample-setup-exit-2.exe", sentence("install_cancelled"), None),
            ("2.0.0", "sample-setup-exit-4294967294.exe",
             sentence("install_unfinished", code=4294967294, host="localhost"), None),
        ]
        builds = [self.samples.build(v, sample, "Studio-%s-setup.exe" % v) for v, sample, _, _ in rows]
        driver = self.open(builds)
        self.wait_status(sentence("choose_version"))
        for row, (version, _, expected, colour) in enumerate(rows):
            self.install_row(row, expected)
            self.assertTrue(self.ran("Studio-%s-setup.exe" % version), version)
            if colour:
                self.assertTrue(self.status_has_colour(driver.rect(STATUS), colour),
                                "%r is not in %r" % (expected, colour))
            if row == 0:
                # A staging folder, not the Installer's own working folder, where a stray DLL may lie.
                self.assertRegex(self.working_folder("Studio-%s-setup.exe" % version),
                                 r"(?i)^C:\\users\\[^\\]+\\Temp\\TarnwickInstaller\\\{[0-9A-F-]{36}\}$")
            self.assertTrue(driver.enabled(INSTALL), "Install stays off after %s" % version)
        self.assertEqual(len([w for w in driver.call("windows") if w["visible"]]), 1, "a dialog showed")
        self.assertNothingStaged()

    def status_has_colour(self, status, colour, tolerance=24):
        for x in range(status["x"] + 2, status["x"] + status["w"], 2):
            for y in range(status["y"] + 2, status["y"] + status["h"] - 2, 2):
                got = self.driver.call("pixel", x, y)
                if all(abs(got[k] - c) <= tolerance for k, c in zip("rgb", colour)):
                    return True
        return False

    def test_a_download_that_fails_its_check_is_never_run(self):
        rows = [
            ("1.0.4", "sample-setup-exit-0.exe", "0" * 64),  # a hash that is not the file's
            ("1.0.3", "unsigned.exe", None),
            ("1.0.2", "tampered.exe", None),
            ("1.0.1", "signed-case.exe", None),
            ("1.0.0", "signed-other.exe", None),
            ("0.9.9", "signed-no-cn.exe", None),  # no common name; its organisation is the publisher
        ]
        builds = [self.samples.build(v, sample, "Studio-%s.exe" % v, sha256=h) for v, sample, h in rows]
        self.open(builds)
        self.wait_status(sentence("choose_version"))
        for row, (version, _, _) in enumerate(rows):
            self.install_row(row, CHECK_FAILED)
            self.assertFalse(self.ran("Studio-%s.exe" % version), "%s ran" % version)
        self.assertNothingStaged()

    def test_a_file_dropped_beside_the_download_stops_the_install(self):
        # The setup would load a DLL from its own folder, elevated. Large, so that the drop is
        # made while the file is still downloading or being checked.
        driver = self.open_large("Studio-2.1.0.exe", 128 * 1024 * 1024)
        driver.call("click", INSTALL)
        folder = self.wait_until(self.staged_since_setup, "the download's staging folder", 60)[0]
        shared, = harness.shared_staging_folders(self.config)
        with open(os.path.join(shared, folder, "version.dll"), "wb") as f:
            f.write(b"MZ")
        self.wait_status(CHECK_FAILED, OUTCOME_WAIT)
        self.assertFalse(self.ran("Studio-2.1.0.exe"), "the setup ran beside a planted DLL")
        self.assertNothingStaged()

    def test_close_while_a_large_download_is_checked_ends_everything_at_once(self):
        # Made here, never committed: 256 MiB takes the hash and the signature check seconds.
        driver = self.open_large("Studio-2.1.0.exe", 256 * 1024 * 1024)
        driver.call("click", INSTALL)
        self.wait_status(sentence("checking"), OUTCOME_WAIT)
        driver.call("close")
        harness.wait_for(lambda: not [w for w in driver.call("windows") if w["visible"]], 2, "the window to hide")
        self.assertEqual(self.program.wait(2.0), 0)
        self.assertFalse(self.ran("Studio-2.1.0.exe"), "the setup ran after Close")
        self.assertNothingStaged()

    def test_a_product_name_that_breaks_lines_leaves_one_log_line(self):
        harness.clear_support_logs(self.config)
        self.addCleanup(harness.clear_support_logs, self.config)
        self.open([self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0.exe")],
                  name="Studio\u2028Pro")
        self.wait_status(sentence("choose_version"))
        self.install_row(0, sentence("installed_suffix", label="Studio\u2028Pro 2.1.0"))
        self.program.stop()
        raw = b""
        for folder in harness.support_log_folders(self.config):
            for name in sorted(os.listdir(folder)):
                with open(os.path.join(folder, name), "rb") as f:
                    raw += f.read()
        lines = raw.decode("utf-8").split("\n")
        self.assertEqual([line for line in lines if "\u2028" in line], [])
        outcome = [line for line in lines if line.endswith(" outcome Studio\\u2028Pro 2.1.0 is installed.")]
        self.assertEqual(len(outcome), 1, lines)
        self.assertTrue([line for line in lines if " download GET Studio-2.1.0.exe status 200" in line], lines)

    def test_refused_and_broken_downloads_say_why(self):
        url = self.samples.url
        rows = [
            (url("/refuse/429?code=RATE_LIMITED&retry=30"), sentence("rate_limited")),
            (url("/refuse/403?code=AGREEMENT_REQUIRED"),
             sentence("agreement_required", host="localhost")),
            (url("/refuse/401?code=INVALID_TOKEN"), UNFINISHED),  # no pass was sent, so none ended
            (url("/bytes/1000?short=1"), UNFINISHED),
            ("https://127.0.0.1:%d/bytes/1000" % self.config.site_port, UNFINISHED),
        ]
        builds = [self.samples.build("3.0.%d" % (9 - i), None, "s%d.exe" % i, url=u) for i, (u, _) in enumerate(rows)]
        self.open(builds)
        self.wait_status(sentence("choose_version"))
        for row, (_, expected) in enumerate(rows):
            self.install_row(row, expected)
        hosts = {dict(r["headers"]).get("Host") for r in self.site.requests()}
        self.assertNotIn("127.0.0.1:%d" % self.config.site_port, hosts, "a foreign address was fetched")
        self.assertNothingStaged()


class Closing(InstallTestCase):
    def test_closing_while_downloading_hides_the_window_and_ends_the_process(self):
        slow = self.samples.build("2.1.0", None, "slow.exe", url=self.samples.url("/bytes/100000000?rate=2000000"))
        driver = self.open([slow])
        self.wait_status(sentence("choose_version"))
        driver.call("click", INSTALL)
        self.wait_status(sentence("downloading"))
        self.assertFalse(driver.enabled(VERSIONS))
        self.assertTrue(driver.enabled(CLOSE))
        driver.call("close")
        self.assertEqual(self.program.wait(30), 0)
        self.assertNothingStaged()

    def test_closing_during_the_checks_runs_nothing(self):
        driver = self.open_large("Studio-2.1.0-large.exe", 400 * 1024 * 1024)
        driver.call("click", INSTALL)
        driver.wait_text(STATUS, "Checking the download", 120)
        driver.call("close")
        self.assertEqual(self.program.wait(120), 0)
        self.assertFalse(self.ran("Studio-2.1.0-large.exe"), "a closed window's installer ran")
        self.assertNothingStaged()

    def test_closing_while_the_installer_is_open_is_refused(self):
        hold = os.path.join(self.work_dir, "release")
        build = self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0-setup.exe")
        driver = self.open([build], program_env={"TWI_SAMPLE_HOLD": windows_path(hold)})
        self.wait_status(sentence("choose_version"))
        driver.call("click", INSTALL)
        self.wait_status(sentence("installer_open"), OUTCOME_WAIT)
        driver.call("close")
        self.wait_status(sentence("finish_installer_first"))
        self.assertTrue([w for w in driver.call("windows") if w["visible"]], "the window went")
        open(hold, "w").close()
        self.wait_status(sentence("installed_suffix", label="Studio 2.1.0"), OUTCOME_WAIT)
        self.assertNothingStaged()

    def test_enter_on_a_focused_button_acts_on_that_button(self):
        build = self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0-setup.exe")
        driver = self.open([build])
        self.wait_status(sentence("choose_version"))
        driver.call("key", CLOSE, "enter")
        driver.wait_gone()
        self.assertEqual(self.program.wait(), 0)
        downloads = [r for r in self.site.requests() if r["path"].startswith("/downloads/")]
        self.assertEqual(downloads, [], "Enter on Close started an install")
        self.assertFalse(self.ran("Studio-2.1.0-setup.exe"))


class SelfUpdate(InstallTestCase):
    def open_out_of_date(self, sample):
        """A catalog that no longer takes Installer 1.0.0 and offers `sample` as version 1.1.0."""
        installer = self.samples.build("1.1.0", sample, "TarnwickInstaller-1.1.0.exe")
        return self.open([], installer=installer, minimum="1.1.0")

    def test_the_new_installer_starts_and_this_one_ends_with_0(self):
        driver = self.open_out_of_date("sample-new-installer.exe")
        self.wait_status(sentence("out_of_date_offer"))
        self.assertEqual(driver.text(INSTALL), "Get the new Installer")
        driver.call("key", 0, "enter")
        self.assertEqual(self.program.wait(OUTCOME_WAIT), 0)
        # Saved under this program's own name, not the catalog's, and left where it runs from.
        harness.wait_for(lambda: self.ran("TarnwickInstaller.exe"), 30, "the new Installer's marker")
        left = self.staged_since_setup()
        self.assertEqual([p for p in left if p.endswith(".exe")],
                         [os.path.join(left[0], "TarnwickInstaller.exe")])
        self.remove_staged(left[0])

    def remove_staged(self, folder):
        for shared in harness.shared_staging_folders(self.config):
            path = os.path.join(shared, folder)
            if os.path.isdir(path):
                for name in os.listdir(path):
                    os.remove(os.path.join(path, name))
                os.rmdir(path)

    def test_what_a_self_update_left_goes_at_a_start_a_day_later(self):
        shared = os.path.join(self.config.prefix, "drive_c", "users", getpass.getuser(), "Temp",
                              "TarnwickInstaller")
        old, new = (os.path.join(shared, "{%s}" % str(uuid.uuid4()).upper()) for _ in range(2))
        for folder in (old, new):
            os.makedirs(folder)
            with open(os.path.join(folder, "TarnwickInstaller.exe"), "wb") as f:
                f.write(b"MZ")
        a_day_ago = time.time() - 25 * 3600
        for path in (os.path.join(old, "TarnwickInstaller.exe"), old):
            os.utime(path, (a_day_ago, a_day_ago))
        try:
            self.open([self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio.exe")])
            self.wait_until(lambda: not os.path.exists(old), "the day-old staging folder to go", 20)
            self.assertTrue(os.path.isdir(new), "a staging folder of today went")
        finally:
            self.remove_staged(os.path.basename(old))
            self.remove_staged(os.path.basename(new))

    def test_a_new_installer_from_another_signer_leaves_the_offer(self):
        driver = self.open_out_of_date("signed-other.exe")
        self.wait_status(sentence("out_of_date_offer"))
        driver.call("click", INSTALL)
        self.wait_status(CHECK_FAILED, OUTCOME_WAIT)
        self.assertEqual(driver.text(INSTALL), "Get the new Installer")
        self.assertTrue(driver.enabled(INSTALL))
        self.assertFalse(self.ran("TarnwickInstaller.exe"))
        self.assertNothingStaged()


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
