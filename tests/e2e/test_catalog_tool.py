"""End-to-end: what tarnwick-catalog says the Installer shows is what the window shows.

For every catalog scenario of the dev site, and for its default catalog with the signed samples,
the dev site serves the catalog, the tool reads it from there, and the real program's product
list and each product's rows (as it opens, then on Official and on Beta) are read through the
driver and compared. The dev site also checks the catalog itself at start with the same tool.

The tool comes from TWI_CATALOG_TOOL.
"""

import glob
import json
import os
import subprocess
import sys
import time

import harness
from harness import BACK, BETA, OFFICIAL, PRODUCTS, STATUS, VERSIONS, DevSite, Driver, InstallerTestCase, Program
from support.product import sentence  # noqa: E402

LOADING = sentence("looking_up")
TOOL_TIMEOUT = 120.0


def row_texts(rows):
    return [row["version"] + (" (latest)" if row["latest"] else "") for row in rows]


def site_check_summary(site):
    """The last line of the dev site's own check, which it prints after it starts serving."""
    deadline = time.monotonic() + TOOL_TIMEOUT
    while time.monotonic() < deadline:
        line = site.reader.read(max(0.1, deadline - time.monotonic()))
        if line is None:
            return None
        if line.startswith("devsite: check: summary:"):
            return line
    return None


class ToolAgreesWithTheWindow(InstallerTestCase):
    def scenarios(self):
        catalogs = sorted(glob.glob(os.path.join(harness.CATALOGS, "*.json")))
        default = os.path.join(harness.SOURCE, "devsite", "catalog.json")
        return [(path, []) for path in catalogs] + [(default, ["--downloads", self.config.samples])]

    def tool_view(self, tool):
        """The products and rows `check` says the window shows, for the catalog as served."""
        address = "https://localhost:%d/api/installer/v1/catalog?platform=windows" % self.config.site_port
        run = subprocess.run([tool, "check", address, "--ca-file", os.path.join(self.config.pki, "ca.pem"), "--json"],
                             capture_output=True, text=True, timeout=TOOL_TIMEOUT)
        self.assertIn(run.returncode, (0, 1), run.stderr)
        products = json.loads(run.stdout)["window"]["products"]
        return [(p["name"], row_texts(p[p["opensOn"].lower()]), row_texts(p["official"]), row_texts(p["beta"]))
                for p in products]

    def wait_loaded(self, driver):
        def loaded():
            status = driver.text(STATUS)
            return status != LOADING and bool(status or driver.rows(PRODUCTS))
        self.wait_until(loaded, "the catalog to load", seconds=30)

    def read_product(self, driver, index, opened_by_itself):
        """Its rows as it opens, on Official, and on Beta (none without a Beta button)."""
        if not opened_by_itself:
            # Selected and entered rather than clicked: rows past the sixth are scrolled out of view.
            driver.call("select", PRODUCTS, index)
            driver.call("key", PRODUCTS, "enter")
            self.wait_until(lambda: not driver.visible(PRODUCTS), "the product to open")
        first = driver.rows(VERSIONS)
        driver.call("click", OFFICIAL)
        official = driver.rows(VERSIONS)
        beta = []
        if driver.visible(BETA):
            driver.call("click", BETA)
            beta = driver.rows(VERSIONS)
        if driver.visible(BACK):
            driver.call("click", BACK)
            self.wait_until(lambda: driver.visible(PRODUCTS), "the product list")
        return first, official, beta

    def window_view(self, driver):
        self.wait_loaded(driver)
        names = driver.rows(PRODUCTS)
        opened_by_itself = bool(names) and not driver.visible(PRODUCTS)
        return [(name,) + self.read_product(driver, i, opened_by_itself) for i, name in enumerate(names)]

    def compare(self, tool, catalog, site_args, folder):
        site = DevSite(self.config, folder, catalog, None, site_args + ["--check-with", tool])
        program = driver = None
        try:
            program = Program(self.config, folder, "TarnwickInstaller.exe")
            driver = Driver(self.config, folder)
            driver.wait_window()
            self.assertEqual(self.window_view(driver), self.tool_view(tool))
            self.assertIsNotNone(site_check_summary(site), "the dev site printed no check")
        finally:
            if driver and program and program.process.poll() is None:
                try:
                    driver.call("close", timeout=5)
                    program.wait()
                except (harness.HarnessError, harness.DriverError, subprocess.TimeoutExpired):
                    pass
            for started in (driver, program, site):
                if started:
                    started.stop()

    def test_every_scenario_shows_what_check_says(self):
        tool = os.environ.get("TWI_CATALOG_TOOL", "")
        self.assertTrue(os.path.exists(tool), "TWI_CATALOG_TOOL must name the built tool")
        work = self.make_work_dir()
        scenarios = self.scenarios()
        self.assertGreaterEqual(len(scenarios), 11)
        for number, (catalog, site_args) in enumerate(scenarios):
            with self.subTest(catalog=os.path.basename(catalog)):
                folder = os.path.join(work, "%02d" % number)
                os.mkdir(folder)
                self.compare(tool, catalog, site_args, folder)


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
