"""End-to-end harness: the real Installer under Wine, the dev site on loopback, and twi-driver.

Every test starts its own dev site (with the catalog scenario it needs), its own copy of
TarnwickInstaller.exe under the file name it needs, and one driver process that it talks to line by
line. Whatever a test starts is stopped again when the test ends, also when it fails.

Run a test module directly:
    python3 tests/e2e/test_catalog.py --build BUILD [--program EXE] [--driver EXE] [unittest options]
or every module of this folder:
    python3 tests/e2e/harness.py --build BUILD
The paths may also come from TWI_E2E_BUILD, TWI_E2E_PROGRAM and TWI_E2E_DRIVER. The build folder
must have its test environment running (scripts/test-env start, or the ctest fixture twi_env).
"""

import argparse
import glob
import http.client
import json
import os
import re
import shutil
import ssl
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

from support import driver as driver_client  # noqa: E402
from support.devsite import SiteProcess, port_is_open, server_options  # noqa: E402
from support.driver import START_TIMEOUT, driver_word, wait_for  # noqa: E402,F401
from support.errors import DriverError, HarnessError  # noqa: E402,F401
from support.paths import CATALOGS, SOURCE  # noqa: E402,F401
from support.processes import STOP_TIMEOUT, LineReader, stop_process  # noqa: E402,F401
from support.product import control  # noqa: E402

WINDOW_CLASS = "TarnwickInstaller"
USER_AGENT = "tarnwick-installer/1.0.0 (windows; release)"

# Control ids of the main window.
STATUS, PRODUCTS, BACK = control("id_status_label"), control("id_product_list"), control("id_back_button")
OFFICIAL, BETA, VERSIONS = control("id_official_button"), control("id_beta_button"), control("id_version_list")
BETA_NOTE, SIGN_IN = control("id_beta_note"), control("id_sign_in_button")
REOPEN_BROWSER, CANCEL_SIGN_IN = control("id_reopen_browser_button"), control("id_cancel_sign_in_button")
INSTALL, CLOSE = control("id_install_button"), control("id_close_button")


class Config:
    def __init__(self, build, program, driver, site_port):
        self.build = os.path.abspath(build)
        self.program = os.path.abspath(program)
        self.driver = os.path.abspath(driver)
        self.site_port = site_port
        self.wine_run = os.path.join(self.build, "wine-run")
        self.pki = os.path.join(self.build, "test-env", "pki")
        self.samples = os.path.join(self.build, "samples-signed")
        self.prefix = os.path.join(self.build, "wine-prefix")
        self.artifacts = os.path.join(self.build, "e2e-artifacts")

    @classmethod
    def from_argv(cls, argv):
        """Reads the harness's own options; returns the config and what is left for unittest."""
        p = argparse.ArgumentParser(add_help=False)
        p.add_argument("--build", default=os.environ.get("TWI_E2E_BUILD"))
        p.add_argument("--program", default=os.environ.get("TWI_E2E_PROGRAM"))
        p.add_argument("--driver", default=os.environ.get("TWI_E2E_DRIVER"))
        p.add_argument("--site-port", type=int, default=int(os.environ.get("TWI_E2E_SITE_PORT", "7180")))
        known, rest = p.parse_known_args(argv)
        if not known.build:
            raise HarnessError("give the build folder with --build or TWI_E2E_BUILD")
        program = known.program or os.path.join(known.build, "app", "TarnwickInstaller.exe")
        driver = known.driver or os.path.join(known.build, "tests", "e2e", "twi-driver.exe")
        return cls(known.build, program, driver, known.site_port), rest

    def check(self):
        for path, what in ((self.program, "program"), (self.driver, "driver"), (self.wine_run, "wine-run script"),
                           (os.path.join(self.pki, "server.pem"), "test PKI")):
            if not os.path.exists(path):
                raise HarnessError("the %s is missing: %s" % (what, path))
        if not os.path.exists(os.path.join(self.build, "test-env", "display")):
            raise HarnessError("the test environment of %s is not running (scripts/test-env start)" % self.build)


class DevSite(SiteProcess):
    """devsite/server.py with the test PKI, one catalog scenario and a request log of its own."""

    secrets = None  # a set: what the requests carried is added to it when the site stops

    def __init__(self, config, log_dir, catalog=None, catalog_status=None, extra_args=(), port=None,
                 certificate="server"):
        self.config = config
        port = port or config.site_port
        if port_is_open(port):
            raise HarnessError("something already listens on port %d; stop it first" % port)
        catalog_path = catalog if catalog is None or os.path.isabs(catalog) else os.path.join(CATALOGS, catalog)
        options = server_options(config.pki, port, certificate, log=os.path.join(log_dir, "devsite.log"),
                                 catalog=catalog_path, catalog_status=catalog_status, extra_args=extra_args)
        with open(os.path.join(log_dir, "devsite.err"), "wb") as errors:
            super().__init__(options, errors)

    def call(self, method, path, body=None, content_type="application/json"):
        """The site's answer to one request of the test's own: (status, body bytes)."""
        context = ssl.create_default_context(cafile=os.path.join(self.config.pki, "ca.pem"))
        connection = http.client.HTTPSConnection("127.0.0.1", self.port, context=context, timeout=10)
        try:
            headers = {"Content-Type": content_type} if body is not None else {}
            connection.request(method, path, body=body, headers=headers)
            answer = connection.getresponse()
            return answer.status, answer.read()
        finally:
            connection.close()

    def decide(self, code, decision):
        """Approves ("approve") or denies ("deny") a sign-in code through the approval page's form."""
        body = urllib.parse.urlencode({"code": code, "decision": decision})
        status, page = self.call("POST", "/installer/approve", body, "application/x-www-form-urlencoded")
        if status != 200 or b"Code " not in page:
            raise HarnessError("the approval page did not take %s for %s" % (decision, code))

    def requests(self):
        """The request log: a list of {method, path, headers: [[name, value]...], body}."""
        return json.loads(self.call("GET", "/_dev/requests")[1])

    def stop(self):
        try:
            if self.secrets is not None and self.process.poll() is None:
                self.secrets.update(secrets_in_requests(self.requests()))
        except OSError:  # a site of old TLS or a stranger's certificate, which the program never got past
            pass
        super().stop()


class Driver(driver_client.Driver):
    """twi-driver under the build's Wine, its errors into the test's folder."""

    def __init__(self, config, log_dir):
        super().__init__(config.wine_run, config.driver, os.path.join(log_dir, "driver.err"))


def wine_reg(config, *args):
    """Runs `reg` in the build's prefix, e.g. wine_reg(config, "add", KEY, "/v", NAME, "/d", DATA, "/f")."""
    # Into a file, not a pipe: the Wine services that this command may start keep their copy
    # of its output open long after it has ended.
    with tempfile.TemporaryFile() as output:
        code = subprocess.run([config.wine_run, "reg", *args], stdin=subprocess.DEVNULL, stdout=output,
                              stderr=subprocess.STDOUT, timeout=120).returncode
        output.seek(0)
        if code != 0:
            raise HarnessError("reg %s failed: %s" % (" ".join(args), output.read().decode(errors="replace")))


BROWSER_KEY = "HKCU\\Software\\Wine\\WineBrowser"
RECORDING_BROWSER = os.path.join(HERE, "record_browser.sh")


def record_browser_addresses(test_class):
    """From a setUpClass: pages the program opens go to record_browser.sh, not to a real browser,
    until the class ends."""
    test_class.addClassCleanup(wine_reg, test_class.config, "delete", BROWSER_KEY, "/v", "Browsers", "/f")
    wine_reg(test_class.config, "add", BROWSER_KEY, "/v", "Browsers", "/d", RECORDING_BROWSER, "/f")


def last_opened_address(browser_log):
    """The last address record_browser.sh was handed, or None."""
    if not os.path.exists(browser_log):
        return None
    with open(browser_log) as f:
        lines = f.read().split()
    return lines[-1] if lines else None


def approval_code(address):
    """The code an approval address carries, as the page shows it."""
    return urllib.parse.parse_qs(urllib.parse.urlsplit(address).query)["code"][0]


def windows_path(path):
    """The Wine path of a Linux path: the Z: drive is the Linux root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def shared_staging_folders(config):
    """The shared staging folder ("TarnwickInstaller" in %TEMP%) of each user of the prefix that has one."""
    users = os.path.join(config.prefix, "drive_c", "users")
    paths = [os.path.join(users, user, "Temp", "TarnwickInstaller") for user in os.listdir(users)]
    return [path for path in paths if os.path.isdir(path)]


def staging_leftovers(config):
    """What is left inside the prefix's shared staging folder, as paths relative to it."""
    left = []
    for shared in shared_staging_folders(config):
        for folder, _, files in os.walk(shared):
            if folder != shared:
                left.append(os.path.relpath(folder, shared))
            left += [os.path.relpath(os.path.join(folder, f), shared) for f in files]
    return sorted(left)


SECRET_MIN = 6  # shorter values ("1", "{}") are not secrets and would match by chance


def secrets_in_requests(requests):
    """Every header value, query string and body of the site's request log, and the bearer alone."""
    found = set()
    for request in requests:
        values = [value for _, value in request["headers"]] + [request.get("body") or ""]
        values.append(urllib.parse.urlsplit(request["path"]).query)
        values += [value[len("Bearer "):] for value in values if value.startswith("Bearer ")]
        found.update(value for value in values if len(value) >= SECRET_MIN)
    return found


def secrets_in_addresses(browser_log):
    """The query and the link code (with and without its dash) of each page opened in the browser."""
    found = set()
    if os.path.exists(browser_log):
        with open(browser_log) as f:
            for address in f.read().split():
                query = urllib.parse.urlsplit(address).query
                codes = [value for _, value in urllib.parse.parse_qsl(query)]
                found.update([query] + codes + [code.replace("-", "") for code in codes])
    return found


def support_log_folders(config):
    """The Installer's log folder (LOCALAPPDATA\\TarnwickInstaller\\Logs) of each user of the prefix."""
    return glob.glob(os.path.join(config.prefix, "drive_c", "users", "*", "AppData", "Local",
                                  "TarnwickInstaller", "Logs"))


def support_log_lines(config):
    """(file name, line) of every line of every file in the log folders."""
    lines = []
    for folder in support_log_folders(config):
        for name in sorted(os.listdir(folder)):
            with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                lines += [(name, line.rstrip("\n")) for line in f]
    return lines


def secrets_in_answer(headers, body):
    """The header values of an answer a test scripts, its body and the codes, tokens and passes in it."""
    inside = re.findall(r'"(?:linkCode|pollToken|downloadPass)"\s*:\s*"([^"\\]*)"', body)
    return {value for value in [value for _, value in headers] + [body] + inside if len(value) >= SECRET_MIN}


def clear_support_logs(config):
    for folder in support_log_folders(config):
        if os.path.isdir(folder):
            shutil.rmtree(folder)
        else:
            os.remove(folder)


def check_support_log_for_secrets(test_class):
    """From a setUpClass: the logs start empty, every secret the class's exchanges carry is
    gathered, and when the class ends no log line may hold one."""
    clear_support_logs(test_class.config)
    test_class.secrets = set()

    def check():
        lines = support_log_lines(test_class.config)
        if not lines:  # a search of nothing would pass whatever the Installer logged elsewhere
            raise AssertionError("no support log under %s" % test_class.config.prefix)
        for name, line in lines:
            held = [secret for secret in test_class.secrets if secret in line]
            if held:
                raise AssertionError("%s holds %r: %s" % (name, held[0], line))
    test_class.addClassCleanup(check)


class Program:
    """A copy of TarnwickInstaller.exe under a chosen file name, running under Wine.

    The setup programs it starts inherit its environment: TWI_SAMPLE_MARKERS points the samples'
    proof of a run into the test's own folder.
    """

    def __init__(self, config, work_dir, file_name, env=None, program=None, wrapper=(), args=()):
        self.path = os.path.join(work_dir, file_name)
        shutil.copyfile(program or config.program, self.path)
        # Under Wine the Installer's sessions read http_proxy: a proxy of the shell's must not
        # carry the tests' traffic, only the one a test names.
        environment = {name: value for name, value in os.environ.items() if name.lower() != "http_proxy"}
        environment.update(env or {})
        with open(os.path.join(work_dir, "program.out"), "wb") as output:
            self.process = subprocess.Popen([*wrapper, config.wine_run, self.path, *args], stdin=subprocess.DEVNULL,
                                            stdout=output, stderr=subprocess.STDOUT, cwd=work_dir,
                                            env=environment)

    def wait(self, timeout=STOP_TIMEOUT):
        return self.process.wait(timeout)

    def stop(self):
        stop_process(self.process)


class InstallerTestCase(unittest.TestCase):
    """Base class: start() brings up site, program and driver; cleanups take them down."""

    config = None  # set by main()
    secrets = None  # a set when the class checks its support log (check_support_log_for_secrets)

    def setUp(self):
        self.staged_before = set(staging_leftovers(self.config))

    def staged_since_setup(self):
        """What the test left in the shared staging folder."""
        return [p for p in staging_leftovers(self.config) if p not in self.staged_before]

    def assertNothingStaged(self):
        self.assertEqual(self.staged_since_setup(), [])

    def start(self, catalog="single-product.json", catalog_status=None, site=True,
              file_name="TarnwickInstaller.exe", site_args=(), program_env=None, program=None, wrapper=(),
              program_args=()):
        """site: True for the dev site, False for none, or a server of the test's own that already
        listens on the site's port; program: another build of the Installer; wrapper: a command
        line that runs the program's Wine command (as its last arguments)."""
        self.make_work_dir()
        self.site = None
        if site is True:
            self.site = DevSite(self.config, self.work_dir, catalog, catalog_status, site_args)
            self.site.secrets = self.secrets
            self.addCleanup(self.site.stop)
        elif site:
            self.site = site
        elif port_is_open(self.config.site_port):
            raise HarnessError("port %d must be free for this test" % self.config.site_port)
        self.program = Program(self.config, self.work_dir, file_name, program_env, program, wrapper, program_args)
        self.addCleanup(self.program.stop)
        if self.secrets is not None:
            browser_log = os.path.join(self.work_dir, "browser.log")
            self.addCleanup(lambda: self.secrets.update(secrets_in_addresses(browser_log)))
        self.driver = Driver(self.config, self.work_dir)
        self.addCleanup(self.driver.stop)
        self.addCleanup(self._close_if_open)
        self.addCleanup(self._screenshot_if_failed)
        self.driver.wait_window()
        return self.driver

    def make_work_dir(self):
        """The test's own folder, removed when it ends; made once, also before start() to fill it."""
        if not getattr(self, "work_dir", None):
            self.work_dir = tempfile.mkdtemp(prefix="twi-e2e-")
            self.addCleanup(shutil.rmtree, self.work_dir, True)
        return self.work_dir

    def _screenshot_if_failed(self):
        result = getattr(getattr(self, "_outcome", None), "result", None)
        failed = result is not None and any(test is self for test, _ in result.failures + result.errors)
        if not failed or self.program.process.poll() is not None:
            return
        try:
            self.screenshot("FAILED-" + self.id().split(".", 1)[-1])
        except (HarnessError, DriverError, OSError):
            pass

    def _close_if_open(self):
        if self.program.process.poll() is None:
            try:
                self.driver.call("close", timeout=5)
                self.program.wait(STOP_TIMEOUT)
            except (HarnessError, DriverError, subprocess.TimeoutExpired):
                pass

    def close_window(self):
        """Sends WM_CLOSE and returns the program's exit code."""
        self.driver.call("close")
        self.driver.wait_gone()
        return self.program.wait(STOP_TIMEOUT)

    def wait_status(self, text, seconds=20.0):
        """Waits until the status line reads exactly text."""
        self.driver.wait_text(STATUS, text, seconds)
        self.assertEqual(self.driver.text(STATUS), text)

    def wait_until(self, predicate, what, seconds=10.0):
        return wait_for(predicate, seconds, what)

    def screenshot(self, name):
        """Saves the client area into <build>/e2e-artifacts/name.png (BMP when ImageMagick is missing)."""
        os.makedirs(self.config.artifacts, exist_ok=True)
        bmp = os.path.join(self.config.artifacts, name + ".bmp")
        self.driver.call("screenshot", "Z:" + bmp.replace("/", "\\"))
        converter = shutil.which("convert")
        if converter and subprocess.run([converter, bmp, bmp[:-4] + ".png"]).returncode == 0:
            os.remove(bmp)


def main(argv=None, module="__main__"):
    """Runs the tests of module (or, from harness.py itself, of every test_*.py here)."""
    argv = sys.argv[1:] if argv is None else argv
    try:
        config, rest = Config.from_argv(argv)
        config.check()
    except HarnessError as e:
        print("e2e: %s" % e, file=sys.stderr)
        return 2
    # Test modules import this file as "harness", also when it runs as the main script.
    import harness
    harness.InstallerTestCase.config = config
    if module == "__main__" and os.path.abspath(sys.argv[0]) == os.path.abspath(__file__):
        suite = unittest.defaultTestLoader.discover(HERE, pattern="test_*.py", top_level_dir=HERE)
        result = unittest.TextTestRunner(verbosity=2).run(suite)
        return 0 if result.wasSuccessful() else 1
    program = unittest.main(module=module, argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
