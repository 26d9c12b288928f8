"""What a screen reader in another process gets under Wine 8: the status line's live-region events
through an out-of-context hook, the progress bar's own position, the buttons' accessible names.
Wine gives every control the generic client object (role "client", no value) and ignores the
live-region annotation (SetHwndProp is E_NOTIMPL), so roles and values are left to Windows.
"""

import sys
import time

import harness
from harness import BETA, CLOSE, INSTALL, OFFICIAL, STATUS, VERSIONS, DriverError, InstallerTestCase
from sample_site import SampleSite
from support.product import sentence  # noqa: E402

PROGRESS = 114
LIVE_REGION_CHANGED = 0x8019
OBJID_CLIENT = -4
STATE_INVISIBLE = 0x8000
INSTALLED = sentence("installed_suffix", label="Studio 2.1.0")
SENTENCES = [sentence("downloading"), sentence("checking"), sentence("installer_open"), INSTALLED]
OUTCOME_WAIT = 120.0


class Accessibility(InstallerTestCase):
    def setUp(self):
        super().setUp()
        self.samples = SampleSite(self.config, self.make_work_dir())

    def open(self, builds, installer=None, minimum="1.0.0"):
        return self.start(self.samples.write(builds, installer, minimum), site_args=self.samples.site_args())

    def child_ids(self):
        return [child["id"] for child in self.driver.call("children")]

    def watch_install(self):
        """Installs the highlighted build; the progress bar's positions, each with its accessible
        state, while it runs."""
        self.driver.call("click", INSTALL)
        positions = []
        deadline = time.monotonic() + OUTCOME_WAIT
        while self.driver.text(STATUS) != INSTALLED and time.monotonic() < deadline:
            try:
                position = self.driver.call("position", PROGRESS)
                position["state"] = self.driver.call("accessible", PROGRESS)["state"]
                # The outcome is set before the bar goes, and DestroyWindow hides it first: a
                # sample read after the outcome may catch that bar on its way out.
                if self.driver.text(STATUS) != INSTALLED:
                    positions.append(position)
            except DriverError:  # the bar goes with the work
                pass
        self.assertEqual(self.driver.text(STATUS), INSTALLED)
        return positions

    def test_each_sentence_of_an_install_is_announced_once_and_its_bar_moves(self):
        sha256, size = self.samples.stage_large("Studio-2.1.0.exe", 64 * 1024 * 1024)
        driver = self.open([{"version": "2.1.0", "fileName": "Studio-2.1.0.exe", "sizeBytes": size, "sha256": sha256,
                             "downloadUrl": self.samples.url("/downloads/Studio-2.1.0.exe")}])
        self.wait_status(sentence("choose_version"))
        self.assertNotIn(PROGRESS, self.child_ids(), "a progress bar while nothing runs")
        driver.call("watch-events")
        driver.call("select", VERSIONS, 0)
        positions = self.watch_install()
        time.sleep(0.5)  # out-of-context events arrive after the fact
        events = [e for e in driver.call("events") if e["event"] == LIVE_REGION_CHANGED]
        self.assertEqual([(e["id"], e["object"], e["child"]) for e in events], [(STATUS, OBJID_CLIENT, 0)] * 4)
        self.assertEqual(events[0]["text"], SENTENCES[0])
        self.assertEqual(events[-1]["text"], INSTALLED)

        self.assertTrue(positions, "no progress bar during the install")
        self.assertEqual({p["top"] for p in positions}, {1000})
        moved = [p["position"] for p in positions]
        self.assertEqual(moved, sorted(moved), "the bar went back")
        self.assertGreaterEqual(len({p for p in moved if p > 0}), 2, "the bar did not move: %s" % moved)
        # Made hidden, the bar is placed in the same render; once it has moved it must be seen.
        hidden = [p for p in positions if p["position"] > 0 and p["state"] & STATE_INVISIBLE]
        self.assertEqual(hidden, [], "the bar was hidden while it ran")
        self.assertNotIn(PROGRESS, self.child_ids(), "the progress bar stayed after the install")

    def test_buttons_and_the_status_line_read_their_labels_as_names(self):
        offer = self.samples.build("1.1.0", "sample-new-installer.exe", "TarnwickInstaller-1.1.0.exe")
        screens = [
            ("versions", [self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0.exe")], None, "1.0.0",
             {STATUS: sentence("choose_version"), INSTALL: sentence("install"), CLOSE: sentence("close"),
              OFFICIAL: sentence("official"), BETA: sentence("beta")}),
            ("out of date", [], offer, "1.1.0",
             {STATUS: sentence("out_of_date_offer"), INSTALL: sentence("get_new_installer")}),
        ]
        for screen, builds, installer, minimum, names in screens:
            with self.subTest(screen):
                driver = self.open(builds, installer, minimum)
                self.wait_status(names[STATUS])
                self.assertEqual({c: driver.call("accessible", c)["name"] for c in names}, names)
                self.close_window()
                self.site.stop()  # the next screen brings a site of its own


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
