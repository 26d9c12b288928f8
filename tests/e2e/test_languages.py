"""End-to-end tests of the window's language: the Installer under Wine with LC_ALL set for its
process, which Wine turns into the user's display language, and with --lang.

The expected words come from the translation files themselves (l10n/*.po, read by the build's own
compiler of them), so a corrected translation never needs the test changed.

Screenshots of the product list, the version list, a download and an outcome in German, Japanese,
Arabic and qps-ploc at 96 and 144 DPI land in <build>/e2e-artifacts/lang-<dpi>-<tag>-<screen>.png.
"""

import json
import os
import shutil
import subprocess
import sys
import time

import harness
from harness import CLOSE, INSTALL, STATUS, VERSIONS, InstallerTestCase, windows_path
from sample_site import SampleSite
import test_look
from support import paths  # noqa: E402
from support.product import english, l10n_tables  # noqa: E402

L10N = paths.L10N
ENGLISH = english()
OUTCOME_WAIT = 120.0


def texts(tag):
    """The language's texts by name, as the executable holds them."""
    if tag == "en":
        return dict(ENGLISH)
    if tag.startswith("qps-"):
        return {context: l10n_tables.pseudo(msgid) for context, msgid in ENGLISH.items()}
    return {context: msgstr for context, _, msgstr, _ in l10n_tables.read_po(os.path.join(L10N, tag + ".po"))}


def studio(samples):
    return samples.write([samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0-setup.exe")])


class DisplayLanguage(InstallerTestCase):
    def open(self, locale, samples):
        markers = windows_path(os.path.join(self.work_dir, "markers"))
        return self.start(studio(samples), site_args=samples.site_args(),
                          program_env={"LC_ALL": locale, "TWI_SAMPLE_MARKERS": markers})

    def test_lc_all_chooses_the_language_and_its_direction(self):
        cases = [
            ("de_DE.UTF-8", "de", False),
            ("ja_JP.UTF-8", "ja", False),
            ("ar_EG.UTF-8", "ar", True),
            ("he_IL.UTF-8", "he", True),
            ("zh_TW.UTF-8", "zh-Hant", False),
            ("zh_CN.UTF-8", "zh-Hans", False),
            ("fr_CA.UTF-8", "fr", False),
            ("en_GB.UTF-8", "en", False),
            ("sv_SE.UTF-8", "en", False),  # not offered
        ]
        simplified, traditional = texts("zh-Hans"), texts("zh-Hant")
        for locale, tag, mirrored in cases:
            with self.subTest(locale=locale):
                self.make_work_dir()
                samples = SampleSite(self.config, self.work_dir)
                words = texts(tag)
                driver = self.open(locale, samples)
                self.wait_status(words["choose_version"])
                self.assertEqual(driver.call("title"), words["window_title"])
                self.assertEqual(driver.text(INSTALL), words["install"])
                self.assertEqual(driver.text(CLOSE), words["close"])
                self.assertEqual(driver.rows(VERSIONS), ["2.1.0" + words["latest_suffix"]])
                # Chinese stays apart: not one of the other script's words shows.
                other = {"zh-Hant": simplified, "zh-Hans": traditional}.get(tag)
                if other:
                    self.assertNotIn(driver.text(STATUS), [other["choose_version"]])
                    self.assertNotEqual(driver.call("title"), other["window_title"])
                layout = driver.call("mirroring", INSTALL, CLOSE)
                self.assertEqual(layout["layout_rtl"], mirrored)
                # Mirrored, Close sits left of Install on the screen; otherwise right of it.
                self.assertEqual(layout["second_left"] < layout["first_left"], mirrored, layout)
                self.close_window()
                self.doCleanups()
                self.work_dir = None

    def test_a_german_install_ends_in_german_in_the_success_colour(self):
        self.make_work_dir()
        samples = SampleSite(self.config, self.work_dir)
        words = texts("de")
        driver = self.open("de_DE.UTF-8", samples)
        self.wait_status(words["choose_version"])
        driver.call("click", INSTALL)
        self.wait_status(words["installed_suffix"].replace("{label}", "Studio 2.1.0"), OUTCOME_WAIT)
        self.assertTrue(os.path.exists(os.path.join(self.work_dir, "markers", "Studio-2.1.0-setup.exe.ran")))
        status = driver.rect(STATUS)
        image = self.shot_status()
        area = (status["x"], status["y"], status["x"] + status["w"], status["y"] + status["h"])
        self.assertTrue([1 for x, y, c in image.pixels(*area) if test_look.near(c, test_look.GREEN, 24)],
                        "the German success is not in the success colour")
        # The support log keeps English for whoever reads it.
        lines = [line for _, line in harness.support_log_lines(self.config)]
        self.assertTrue(any(ENGLISH["installed_suffix"].replace("{label}", "Studio 2.1.0") in line for line in lines))

    def shot_status(self):
        os.makedirs(self.config.artifacts, exist_ok=True)
        bmp = os.path.join(self.config.artifacts, "lang-german-outcome.bmp")
        self.driver.call("screenshot", "Z:" + bmp.replace("/", "\\"))
        return test_look.Image(bmp)


class Pictures:
    """The four screens in four languages, at one DPI a subclass."""

    dpi = None
    languages = [("de", "de_DE.UTF-8", ()), ("ja", "ja_JP.UTF-8", ()), ("ar", "ar_EG.UTF-8", ()),
                 ("qps-ploc", "en_US.UTF-8", ("--lang=qps-ploc",))]

    @classmethod
    def setUpClass(cls):
        cls.addClassCleanup(test_look.LookTests.set_logpixels, 96)
        test_look.LookTests.set_logpixels(cls.dpi)

    def shot(self, tag, screen):
        os.makedirs(self.config.artifacts, exist_ok=True)
        bmp = os.path.join(self.config.artifacts, "lang-%03d-%s-%s.bmp" % (self.dpi, tag, screen))
        self.driver.call("screenshot", "Z:" + bmp.replace("/", "\\"))
        converter = shutil.which("convert")
        if converter and subprocess.run([converter, bmp, bmp[:-4] + ".png"], timeout=60).returncode == 0:
            os.remove(bmp)

    def catalog(self, samples):
        """Studio with a build that installs and one that downloads slowly, and two more products."""
        path = samples.write([samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0-setup.exe"),
                              samples.build("2.0.0", None, "slow.exe",
                                            url=samples.url("/bytes/400000000?rate=8000000"))])
        with open(path) as f:
            document = json.load(f)
        studio_product = document["products"][0]
        for name in ("Sketchbook", "Tarnwick Sync"):
            document["products"].append(dict(studio_product, slug=name.lower().replace(" ", "-"), name=name))
        with open(path, "w") as f:
            json.dump(document, f)
        return path

    def test_screens(self):
        for tag, locale, args in self.languages:
            with self.subTest(tag=tag):
                self.make_work_dir()
                words = texts(tag)
                samples = SampleSite(self.config, self.work_dir)
                markers = windows_path(os.path.join(self.work_dir, "markers"))
                driver = self.start(self.catalog(samples), site_args=samples.site_args(), program_args=args,
                                    program_env={"LC_ALL": locale, "TWI_SAMPLE_MARKERS": markers})
                self.assertEqual(driver.call("dpi")["window"], self.dpi)
                self.wait_status(words["choose_product"])
                self.shot(tag, "products")
                driver.call("click-row", harness.PRODUCTS, 0)
                self.wait_status(words["choose_version"])
                self.shot(tag, "versions")
                driver.call("click", INSTALL)
                self.wait_status(words["installed_suffix"].replace("{label}", "Studio 2.1.0"), OUTCOME_WAIT)
                self.shot(tag, "outcome")
                driver.call("select", VERSIONS, 1)
                driver.call("click", INSTALL)
                self.wait_status(words["downloading"])
                time.sleep(3.0)  # the bar part way
                self.shot(tag, "download")
                self.close_window()
                self.doCleanups()
                self.work_dir = None


class Pictures96(Pictures, InstallerTestCase):
    dpi = 96


class Pictures144(Pictures, InstallerTestCase):
    dpi = 144


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
