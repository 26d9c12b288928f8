"""End-to-end tests of the window's look at 96 and 144 DPI: screenshots of every kind of screen and
pixel probes of what a user would notice (palette, band, button fills, sizes at 150 %).

Screenshots land in <build>/e2e-artifacts/look-<dpi>-<screen>.png. Wine takes the screen DPI from
HKCU\\Control Panel\\Desktop\\LogPixels when a process starts; the prefix's persistent wineserver
holds the registry, so a value written with `reg add` reaches the next program without a restart.
Each DPI class writes its value first and puts 96 back when it ends, also after a failure.
"""

import os
import shutil
import struct
import subprocess
import sys
import time

import harness
from harness import (BETA, BETA_NOTE, CANCEL_SIGN_IN, CLOSE, INSTALL, OFFICIAL, PRODUCTS, REOPEN_BROWSER, SIGN_IN,
                     STATUS, VERSIONS, HarnessError, InstallerTestCase, port_is_open, windows_path)
from sample_site import SampleSite
from support.product import sentence  # noqa: E402

CHOOSE_PRODUCT = sentence("choose_product")
CHOOSE_VERSION = sentence("choose_version")
UNREACHABLE = sentence("unreachable")
OUT_OF_DATE = sentence("out_of_date_offer")
OUT_OF_DATE_NO_INSTALLER = sentence("out_of_date_download", host="localhost")

WINDOW_BACKGROUND = (20, 16, 25)
CAPTION = (36, 28, 48)
HEADER_RULE = (77, 63, 96)  # border colour over the caption colour at alpha 128
LIST_BACKGROUND = (30, 23, 38)
SELECTED_TINT = (47, 37, 64)  # accent over the list background at alpha 31
BADGE_ON_SELECTED_ROW = (62, 49, 87)  # accent over the selected tint at alpha 31
BORDER = (117, 98, 143)
TEXT = (232, 226, 240)
TEXT_DISABLED = (122, 112, 144)
FILL_DISABLED = (27, 21, 34)
ACCENT = (167, 139, 250)
ACCENT_HOVER = (183, 157, 251)
AMBER = (242, 184, 75)
GREEN = (70, 214, 160)

# How long another engineer's dev site may hold the shared port before a test gives up.
PORT_WAIT = 180.0
DESKTOP_KEY = "HKCU\\Control Panel\\Desktop"


def scale(units, dpi):
    """MulDiv(units, dpi, 96) for the non-negative lengths used here."""
    return (units * dpi + 48) // 96


def near(colour, wanted, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, wanted))


class Image:
    """A 24-bit BMP as the driver writes it, with pixels as (r, g, b) in client coordinates."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        if data[:2] != b"BM":
            raise HarnessError("not a BMP: %s" % path)
        offset = struct.unpack_from("<I", data, 10)[0]
        self.width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
        if bits != 24:
            raise HarnessError("expected a 24-bit BMP, got %d bits: %s" % (bits, path))
        self.height = abs(height)
        stride = (self.width * 3 + 3) & ~3
        rows = [data[offset + i * stride: offset + i * stride + self.width * 3] for i in range(self.height)]
        self.rows = rows[::-1] if height > 0 else rows  # bottom-up unless the height is negative

    def at(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise AssertionError("(%d, %d) lies outside the %dx%d client area" % (x, y, self.width, self.height))
        b, g, r = self.rows[y][3 * x: 3 * x + 3]
        return (r, g, b)

    def pixels(self, left, top, right, bottom):
        """Every pixel of the rectangle [left, right) x [top, bottom) as (x, y, colour)."""
        for y in range(max(top, 0), min(bottom, self.height)):
            for x in range(max(left, 0), min(right, self.width)):
                yield x, y, self.at(x, y)


class LookTests:
    """The screens and probes, run by one subclass per DPI."""

    dpi = None

    @classmethod
    def setUpClass(cls):
        # Cleanups of the class run even when what follows fails, so 96 always comes back.
        cls.addClassCleanup(cls.set_logpixels, 96)
        cls.set_logpixels(cls.dpi)
        harness.record_browser_addresses(cls)

    @classmethod
    def set_logpixels(cls, dpi):
        """Writes the DPI and restarts the prefix's wineserver, which ends every Wine process of it.

        A process reads LogPixels when it starts, but the desktop process (explorer.exe /desktop)
        outlives the program by some seconds and keeps the DPI it started with; a window created
        meanwhile gets the old DPI while its process has the new one. A fresh wineserver starts
        a fresh desktop.
        """
        config = InstallerTestCase.config
        harness.wine_reg(config, "add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
        env = dict(os.environ, WINEPREFIX=os.path.join(config.build, "wine-prefix"), WINEDEBUG="-all")
        # -k saves the registry before the server ends; -w waits for that. wine-run starts the
        # next persistent server by itself.
        for flag in ("-k", "-w"):
            subprocess.run(["wineserver", flag], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)

    # --- starting ---------------------------------------------------------------------------

    def open_window(self, catalog=None, site=True, **start_args):
        """Starts site, program and driver once the shared port is free, and checks the DPI took."""
        deadline = time.monotonic() + PORT_WAIT
        while True:
            while port_is_open(self.config.site_port) and time.monotonic() < deadline:
                time.sleep(1.0)
            try:
                driver = self.start(catalog, site=site, **start_args) if site else self.start(site=False)
                break
            except HarnessError as e:
                # Someone else's site may have taken the port between the look and the start.
                if not ("port" in str(e) or "did not start" in str(e)) or time.monotonic() >= deadline:
                    raise
        dpi = driver.call("dpi")
        self.assertEqual(dpi["window"], self.dpi, "the window did not pick up LogPixels %d: %r" % (self.dpi, dpi))
        return driver

    def px(self, units):
        return scale(units, self.dpi)

    def shot(self, screen):
        """Saves the client area as look-<dpi>-<screen>.png and returns its pixels."""
        os.makedirs(self.config.artifacts, exist_ok=True)
        bmp = os.path.join(self.config.artifacts, "look-%03d-%s.bmp" % (self.dpi, screen))
        self.driver.call("screenshot", "Z:" + bmp.replace("/", "\\"))
        image = Image(bmp)
        converter = shutil.which("convert")
        if converter and subprocess.run([converter, bmp, bmp[:-4] + ".png"], timeout=60).returncode == 0:
            os.remove(bmp)
        return image

    # --- probes -----------------------------------------------------------------------------

    def assertColour(self, image, x, y, wanted, what, tolerance=0):
        got = image.at(x, y)
        self.assertTrue(near(got, wanted, tolerance),
                        "%s: pixel (%d, %d) is RGB%r, expected RGB%r" % (what, x, y, got, wanted))

    def assert_header_band(self, image):
        band = self.px(64)
        rule = max(self.px(1), 1)
        for x in (self.px(8), image.width - self.px(16)):
            self.assertColour(image, x, 0, CAPTION, "top of the header band")
            self.assertColour(image, x, band - rule - 1, CAPTION, "bottom of the header band, above its rule")
            for y in range(band - rule, band):
                self.assertColour(image, x, y, HEADER_RULE, "rule under the header band")
            below = image.at(x, band)
            self.assertNotEqual(below, CAPTION, "the header band runs past %d pixels" % band)
            self.assertColour(image, x, band, WINDOW_BACKGROUND, "just under the header band")

    def assert_window_background(self, image):
        """The left margin, outside the content column, is plain window background."""
        margin = self.px(12)
        for y in (self.px(64) + self.px(16), image.height // 2, image.height - self.px(8)):
            self.assertColour(image, margin, y, WINDOW_BACKGROUND, "left margin")

    def assert_width(self, image):
        self.assertEqual(image.width, self.px(560))
        self.assertEqual(self.driver.call("client-rect")["w"], self.px(560))

    def body_probe(self, button):
        """A point in the button's body left of its centred text, clear of the rounded corners."""
        inset = 2 * self.px(2)
        return button["x"] + inset + self.px(8), button["y"] + button["h"] // 2

    def assert_primary_fill(self, image, control):
        button = self.driver.rect(control)
        x, y = self.body_probe(button)
        got = image.at(x, y)
        self.assertNotEqual(got, ACCENT_HOVER, "the Install button is drawn hovered; is the pointer over it?")
        self.assertColour(image, x, y, ACCENT, "body of the enabled primary button")

    def assert_disabled_button(self, image, control):
        button = self.driver.rect(control)
        x, y = self.body_probe(button)
        self.assertColour(image, x, y, FILL_DISABLED, "body of the disabled button")
        self.assert_outline(image, button, "disabled button")
        body = list(image.pixels(button["x"] + 2 * self.px(2) + 2, button["y"] + 2 * self.px(2) + 2,
                                 button["x"] + button["w"] - 2 * self.px(2) - 2,
                                 button["y"] + button["h"] - 2 * self.px(2) - 2))
        self.assertTrue(any(near(c, TEXT_DISABLED, 24) for _, _, c in body),
                        "no text in the disabled colour on the disabled button")
        self.assertFalse(any(near(c, ACCENT, 8) for _, _, c in body), "a disabled button shows the accent")

    def assert_outline(self, image, button, what):
        """The outline runs along the body's left edge, a scaled pixel wide, at the middle height.

        Wine's GDI+ may set a one-pixel line one pixel right of where Windows would; look at
        the pixel on each side as well.
        """
        edge = button["x"] + 2 * self.px(2)
        y = button["y"] + button["h"] // 2
        line = [image.at(x, y) for x in range(edge - 1, edge + max(self.px(1), 1) + 1)]
        self.assertIn(BORDER, line, "%s: no outline near x %d: %r" % (what, edge, line))

    def find_ink(self, image, rect, wanted, tolerance):
        return [(x, y) for x, y, c in image.pixels(*rect) if near(c, wanted, tolerance)]

    def list_row_band(self, control, row, row_units):
        lst = self.driver.rect(control)
        top = lst["y"] + row * self.px(row_units)
        return lst, top, top + self.px(row_units)

    # --- the screens ------------------------------------------------------------------------

    def test_product_list(self):
        driver = self.open_window("three-products.json")
        self.wait_status(CHOOSE_PRODUCT)
        self.assertEqual(driver.cursel(PRODUCTS), 0)
        image = self.shot("product-list")
        self.assert_width(image)
        self.assert_header_band(image)
        self.assert_window_background(image)

        # The highlighted row: its accent bar sits at the left of its tinted content.
        lst, top, bottom = self.list_row_band(PRODUCTS, 0, 48)
        middle = (top + bottom) // 2
        bar = lst["x"] + self.px(4)
        self.assertColour(image, bar, middle, ACCENT, "selection bar of the highlighted product")
        self.assertColour(image, bar + self.px(2) + 1, middle, SELECTED_TINT, "tint of the highlighted product")
        _, top1, bottom1 = self.list_row_band(PRODUCTS, 1, 48)
        self.assertColour(image, bar, (top1 + bottom1) // 2, LIST_BACKGROUND, "a product row that is not chosen")

    def test_version_screen_with_latest_badge_and_sizes(self):
        driver = self.open_window("single-product.json")
        self.wait_status(CHOOSE_VERSION)
        self.assertEqual(driver.rows(VERSIONS), ["4.2.1 (latest)", "4.2.0", "4.1.3"])
        self.assertTrue(driver.enabled(INSTALL))
        image = self.shot("versions-official")
        self.assert_width(image)
        self.assert_header_band(image)
        self.assert_window_background(image)
        self.assert_primary_fill(image, INSTALL)

        close = driver.rect(CLOSE)
        self.assertEqual((close["x"], close["w"], close["h"]), (self.px(432), self.px(108), self.px(44)))
        if self.dpi == 144:
            self.assertEqual((close["x"], close["w"]), (648, 162))

        lst = driver.rect(VERSIONS)
        row_h = self.px(44)
        right = lst["x"] + lst["w"]
        for row in range(3):
            top = lst["y"] + row * row_h
            # The version title starts the row; the size text ends it, right-aligned.
            title = (lst["x"] + self.px(4), top, lst["x"] + self.px(120), top + row_h)
            size = (right - self.px(4) - self.px(16) - self.px(90), top, right - self.px(4) - self.px(16), top + row_h)
            self.assertTrue(self.find_ink(image, title, TEXT, 40), "row %d shows no version" % row)
            self.assertTrue(self.find_ink(image, size, (167, 159, 184), 40), "row %d shows no size" % row)
            margin = (right - self.px(4) - self.px(16) + 1, top, right - self.px(4), top + row_h)
            self.assertFalse(self.find_ink(image, margin, (167, 159, 184), 60),
                             "row %d: the size runs into the right margin" % row)
            badge = self.find_ink(image, (lst["x"], top, right, top + row_h),
                                  BADGE_ON_SELECTED_ROW if row == 0 else SELECTED_TINT, 0)
            if row == 0:
                self.assertGreater(len(badge), self.px(20), "row 0 has no \"Latest\" badge")
                badge_left = min(x for x, _ in badge)
                self.assertGreater(badge_left, lst["x"] + self.px(16) + self.px(20),
                                   "the badge does not follow the version")
            else:
                self.assertEqual(badge, [], "row %d has a badge" % row)

    def open_product_behind_sign_in(self):
        driver = self.open_window("no-official-builds.json")
        self.wait_until(lambda: driver.visible(SIGN_IN) and driver.text(STATUS) == "",
                        "the Beta channel with the sign-in prompt", seconds=20)
        return driver

    def test_beta_channel_asks_for_sign_in_inside_the_empty_list(self):
        driver = self.open_product_behind_sign_in()
        self.assertEqual(driver.rows(VERSIONS), [], "the site hides betas without a pass")
        self.assertFalse(driver.visible(VERSIONS))
        self.assertFalse(driver.visible(BETA_NOTE), "the note belongs inside the panel, not under it")
        self.assertFalse(driver.enabled(INSTALL))
        image = self.shot("beta-sign-in-prompt")
        self.assert_width(image)
        self.assert_header_band(image)
        self.assert_window_background(image)
        self.assert_disabled_button(image, INSTALL)

        # The list frame of an unsigned beta channel is five rows high, and the button is centred in it.
        divider_bottom = self.px(173)
        frame_top, frame_bottom = self.px(184), self.px(196 + 5 * 44)
        button = driver.rect(SIGN_IN)
        self.assertEqual((button["w"], button["h"]), (self.px(228), self.px(44)))
        centre = button["x"] + button["w"] / 2
        self.assertLessEqual(abs(centre - self.px(280)), 1, "the sign-in button is not centred: %r" % button)
        self.assertGreater(button["y"], frame_top)
        self.assertLess(button["y"] + button["h"], frame_bottom)
        self.assertGreater(button["y"], divider_bottom)

        # The message sits above the button, centred on the same axis, in the normal text colour.
        above = (self.px(24), frame_top, self.px(536), button["y"])
        ink = self.find_ink(image, above, TEXT, 24)
        self.assertTrue(ink, "no message above the sign-in button")
        left, right = min(x for x, _ in ink), max(x for x, _ in ink)
        self.assertLessEqual(abs((left + right) / 2 - self.px(280)), self.px(6),
                             "the message is not centred (x %d to %d)" % (left, right))
        self.assertGreater(right - left, self.px(150), "the message is too short to be the whole sentence")

        self.assert_outline(image, button, "sign-in button on the panel")

    def test_official_channel_without_builds_shows_the_empty_panel(self):
        driver = self.open_product_behind_sign_in()
        driver.call("click", OFFICIAL)
        self.wait_until(lambda: not driver.visible(SIGN_IN), "the Official channel", seconds=10)
        self.assertEqual(driver.rows(VERSIONS), [])
        self.assertEqual(driver.text(STATUS), "")
        self.assertFalse(driver.enabled(INSTALL))
        image = self.shot("official-no-builds")
        self.assert_header_band(image)
        self.assert_window_background(image)
        self.assert_disabled_button(image, INSTALL)

        # The panel's message is centred in the frame, with nothing else drawn in the frame's lower part.
        frame = (self.px(24), self.px(184), self.px(536), self.px(196 + 5 * 44))
        ink = self.find_ink(image, frame, TEXT, 24)
        self.assertTrue(ink, "the empty panel shows no message")
        left, right = min(x for x, _ in ink), max(x for x, _ in ink)
        self.assertLessEqual(abs((left + right) / 2 - self.px(280)), self.px(6))
        self.assertGreater(right - left, self.px(150))

    def test_out_of_date_offers_the_new_installer(self):
        driver = self.open_window("out-of-date-with-installer.json")
        self.wait_status(OUT_OF_DATE)
        self.assertEqual(driver.text(INSTALL), "Get the new Installer")
        image = self.shot("out-of-date")
        self.assert_width(image)
        self.assert_header_band(image)
        self.assert_window_background(image)
        self.assert_primary_fill(image, INSTALL)
        button = driver.rect(INSTALL)
        self.assertEqual((button["x"], button["w"]), (self.px(224), self.px(208)))

    def test_out_of_date_without_a_new_installer_has_no_install_button(self):
        driver = self.open_window("out-of-date-without-installer.json")
        self.wait_status(OUT_OF_DATE_NO_INSTALLER)
        self.assertFalse(driver.visible(INSTALL))
        image = self.shot("out-of-date-without-installer")
        self.assert_header_band(image)
        self.assert_window_background(image)
        # Only the Close button is on the button row; where Install would be is bare background.
        close = driver.rect(CLOSE)
        row = close["y"] + close["h"] // 2
        self.assertColour(image, self.px(300) + self.px(20), row, WINDOW_BACKGROUND, "left of Close")
        self.assertColour(image, self.px(224) + self.px(20), row, WINDOW_BACKGROUND, "left of Close")

    def test_an_unreachable_site_shows_an_amber_status(self):
        driver = self.open_window(site=False)
        self.wait_status(UNREACHABLE, seconds=40)
        image = self.shot("site-down")
        self.assert_header_band(image)
        self.assert_window_background(image)
        status = driver.rect(STATUS)
        area = (status["x"], status["y"], status["x"] + status["w"], status["y"] + status["h"])
        # Anti-aliased text may never hit the exact colour; a glyph stem comes close.
        amber = self.find_ink(image, area, AMBER, 24)
        self.assertTrue(amber, "no amber text in the status area %r" % (area,))
        muted = self.find_ink(image, area, (167, 159, 184), 24)
        self.assertEqual(muted, [], "the attention status is drawn in the muted colour")


    def test_a_download_fills_the_bar_part_way(self):
        samples = SampleSite(self.config, self.make_work_dir())
        catalog = samples.write([
            samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0-setup.exe"),
            samples.build("2.0.0", None, "slow.exe", url=samples.url("/bytes/400000000?rate=8000000")),
        ])
        markers = {"TWI_SAMPLE_MARKERS": windows_path(os.path.join(self.work_dir, "markers"))}
        driver = self.open_window(catalog, site_args=samples.site_args(), program_env=markers)
        self.wait_status(CHOOSE_VERSION)

        driver.call("select", VERSIONS, 1)
        driver.call("click", INSTALL)
        self.wait_status(sentence("downloading"))
        time.sleep(4.0)  # about a tenth of the body: the bar is part-filled, far from either end
        image = self.shot("downloading")
        status = driver.rect(STATUS)
        y = status["y"] + status["h"] + self.px(9)
        left, right = status["x"] + self.px(2), status["x"] + status["w"] - self.px(4)
        self.assertColour(image, left + self.px(4), y, ACCENT, "the filled start of the bar", tolerance=8)
        self.assertColour(image, right, y, LIST_BACKGROUND, "the empty end of the bar", tolerance=8)
        self.assertFalse(driver.enabled(INSTALL))

        driver.call("close")  # cancels the slow download; the process ends with it
        self.assertEqual(self.program.wait(60), 0)

    def test_an_install_that_succeeded(self):
        samples = SampleSite(self.config, self.make_work_dir())
        catalog = samples.write([samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0-setup.exe")])
        markers = {"TWI_SAMPLE_MARKERS": windows_path(os.path.join(self.work_dir, "markers"))}
        driver = self.open_window(catalog, site_args=samples.site_args(), program_env=markers)
        self.wait_status(CHOOSE_VERSION)
        driver.call("click", INSTALL)
        self.wait_status(sentence("installed_suffix", label="Studio 2.1.0"), seconds=120)
        image = self.shot("installed")
        status = driver.rect(STATUS)
        area = (status["x"], status["y"], status["x"] + status["w"], status["y"] + status["h"])
        self.assertTrue(self.find_ink(image, area, GREEN, 24), "no green text in the status area")
        self.assertEqual(self.find_ink(image, area, AMBER, 24), [], "a success drawn in amber")

    def open_betas_behind_sign_in(self):
        samples = SampleSite(self.config, self.make_work_dir())
        catalog = samples.write_beta_behind_sign_in()
        self.browser_log = os.path.join(self.work_dir, "browser.log")
        driver = self.open_window(catalog, site_args=samples.site_args() + ["--link-interval", "1"],
                                  program_env={"TWI_BROWSER_LOG": self.browser_log})
        self.wait_status(CHOOSE_VERSION)
        driver.call("click", BETA)
        driver.call("click", SIGN_IN)
        address = harness.wait_for(lambda: harness.last_opened_address(self.browser_log), 30, "the approval page")
        return driver, harness.approval_code(address)

    def test_waiting_for_approval_shows_the_code_card(self):
        driver, _ = self.open_betas_behind_sign_in()
        time.sleep(0.5)  # the card is laid out when the code's message arrives, just after the browser opens
        image = self.shot("sign-in-waiting")
        self.assert_header_band(image)
        self.assertEqual(driver.text(BETA_NOTE), sentence("approve_in_browser"))
        for button in (REOPEN_BROWSER, CANCEL_SIGN_IN):
            self.assertTrue(driver.visible(button))
        self.assertFalse(driver.visible(SIGN_IN))

    def test_signed_in_beta_list(self):
        driver, code = self.open_betas_behind_sign_in()
        self.site.decide(code, "approve")
        self.wait_status(sentence("signed_in"), seconds=30)
        image = self.shot("signed-in-beta")
        self.assert_window_background(image)
        self.assertEqual(driver.rows(VERSIONS), ["2.2.0-beta.1 (latest)"])
        lst, top, bottom = self.list_row_band(VERSIONS, 0, 44)
        self.assertColour(image, lst["x"] + lst["w"] // 2, (top + bottom) // 2, SELECTED_TINT, "the selected row",
                          tolerance=8)


class LookAt96Dpi(LookTests, InstallerTestCase):
    dpi = 96


class LookAt144Dpi(LookTests, InstallerTestCase):
    dpi = 144


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
