#!/usr/bin/env python3
"""The whole install path against the sum of its parts, for one large signed sample on loopback.

    bench/install_path.py --build BUILD [--runs N] [--size BYTES] [--unsized]

Whole: the real Installer under Wine, driven as the end-to-end tests drive it, from sending the
Install click to the moment the sample's marker file exists (the sample writes it first thing).
Parts, each in a program of its own on the same file from the same dev site: bench_download
(download_file), then bench_checks hash and signature. The kinds take turns within a run, so a
change in the machine's load falls on all of them alike.

The dev site listens on the port of the build's TWI_SITE, which must be https://localhost:PORT,
because that is where the program looks. BUILD needs its test environment running and its
signed samples in samples-signed (run-checks sees to both). Everything started here is stopped
again on every way out; SIGTERM and SIGHUP end the script through the same clean-up.

The whole path is also split where the Installer's staged file reaches its full size: before
that the download, after it the checks and the start. Watching the file is a stat() every 10 ms
on the Linux side, which costs the Installer nothing. For both halves, and for each part, the
CPU time that the Installer's window thread, its other threads, the prefix's wineserver, the Xvfb
display and the dev site spent is read from /proc, to show where a difference comes from.

--unsized fetches the file, in the whole path and in bench_download alike, from a second server
on another loopback port that sends no Content-Length and ends the body by closing: with no
length to go by, the Installer reports no progress, so its window has nothing to redraw.
"""

import argparse
import glob
import os
import re
import resource
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
sys.path.insert(0, os.path.join(SOURCE, "tests"))
sys.path.insert(0, os.path.join(SOURCE, "devsite"))

import harness  # noqa: E402
import loopback  # noqa: E402
from harness import INSTALL, STATUS, VERSIONS  # noqa: E402
from sample_site import SampleSite  # noqa: E402
from support import proc  # noqa: E402
from support.product import sentence  # noqa: E402

FILE_NAME = "Studio-2.1.0-large.exe"
VERSION = "2.1.0"
DEFAULT_SIZE = 256 * 1024 * 1024
POLL_SECONDS = 0.01
RUN_LIMIT = 300.0  # for any one measurement, Wine's start included


class Stop(Exception):
    pass


def on_signal(number, _frame):
    raise SystemExit(128 + number)


def site_port(build):
    """The port of the build's compiled-in site, which must be this machine's loopback."""
    with open(os.path.join(build, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("TWI_SITE:"):
                site = line.split("=", 1)[1].strip()
                match = re.fullmatch(r"https://localhost:([0-9]+)/?", site)
                if not match:
                    raise Stop("TWI_SITE of %s is %r, not https://localhost:PORT" % (build, site))
                return int(match.group(1))
    raise Stop("%s has no TWI_SITE" % build)


def checked_config(build):
    """The harness's view of the build's Installer, driver and site port, checked. From here on
    SIGTERM and SIGHUP end the benchmark through its own clean-up."""
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGHUP, on_signal)
    config = harness.Config(build, os.path.join(build, "app", "TarnwickInstaller.exe"),
                            os.path.join(build, "tests", "e2e", "twi-driver.exe"), site_port(build))
    config.check()
    return config


def pin_to_first_core(pid):
    """Moves a server started here off the core the Windows programs run on, as run-download places
    it, when this script itself was started on the last core only (as bench/run-all starts it)."""
    every = set(range(os.cpu_count() or 1))
    if len(every) < 2 or os.sched_getaffinity(0) != {max(every)}:
        return
    for task in proc.threads(pid):
        try:
            os.sched_setaffinity(task, {0})
        except OSError:
            pass


def field(line, name):
    match = re.search(r"(?:^| )%s=([0-9.]+)" % re.escape(name), line)
    if not match:
        raise Stop("no %s in %r" % (name, line))
    return float(match.group(1))


class Watch:
    """CPU seconds of the parties to a download, read at moments; a party that is absent reads 0."""

    def __init__(self, build, site_pid, installer_pid=None):
        with open(os.path.join(build, "test-env", "xvfb.pid")) as f:
            xvfb = int(f.read().strip())
        server = proc.wineserver_of(os.path.join(build, "wine-prefix"))
        self.parties = {"xvfb": xvfb, "wineserver": server, "site": site_pid}
        self.installer = installer_pid

    def read(self):
        got = {name: proc.cpu_seconds(pid) if pid else 0.0 for name, pid in self.parties.items()}
        if self.installer:
            # The window thread is the process's first; the download and the checks run on others.
            window = proc.cpu_seconds(self.installer, self.installer)
            got["window thread"] = window
            got["other threads"] = proc.cpu_seconds(self.installer) - window
        return got


def spent(before, after):
    return {name: after[name] - before[name] for name in after}


def cpu_text(used):
    return ", ".join("%s %.2f" % (name, seconds) for name, seconds in used.items())


def children_cpu():
    """CPU seconds of the ended children that were waited for, the bench programs among them."""
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def windows_program(config, *args):
    """One bench program under Wine; its single output line."""
    try:
        done = subprocess.run([config.wine_run, *args], stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=RUN_LIMIT)
    except subprocess.TimeoutExpired:
        raise Stop("%s took more than %.0f s" % (os.path.basename(args[0]), RUN_LIMIT))
    output = done.stdout.decode("utf-8", "replace").replace("\r", "").strip()
    if done.returncode != 0:
        raise Stop("%s failed (%d): %s %s" % (os.path.basename(args[0]), done.returncode, output,
                                                done.stderr.decode("utf-8", "replace").strip()))
    return output


class UnsizedHandler(loopback.LoopbackHandler):
    folder = None
    piece = 256 * 1024  # the dev site's

    def do_HEAD(self):
        self.answer(body=False)

    def do_GET(self):
        self.answer(body=True)

    def answer(self, body):
        path = os.path.join(self.folder, os.path.basename(self.path))
        if not self.path.startswith("/downloads/") or not os.path.isfile(path):
            self.send_error(404)
            return
        self.send_head(200, "application/octet-stream", extra_headers=[("Connection", "close")])
        self.close_connection = True
        if body:
            with open(path, "rb") as f:
                for chunk in iter(lambda: f.read(self.piece), b""):
                    self.wfile.write(chunk)


def serve_unsized(cert, key, folder):
    """Runs until stopped: FOLDER's files under /downloads/ on 127.0.0.1, bodies without a length."""
    signal.signal(signal.SIGTERM, on_signal)
    UnsizedHandler.folder = folder
    server = loopback.LoopbackServer("127.0.0.1", 0, UnsizedHandler, loopback.tls_context(cert, key))
    print("serving %d" % server.port, flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
    return 0


class UnsizedSite:
    """serve_unsized in a process of its own, so that its CPU time reads apart from this one's."""

    def __init__(self, config, folder):
        self.process = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--serve-unsized",
                                         os.path.join(config.pki, "server.pem"), os.path.join(config.pki, "server.key"),
                                         folder], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        self.reader = harness.LineReader(self.process.stdout)
        line = self.reader.read(harness.START_TIMEOUT)
        if not line or not line.startswith("serving "):
            self.stop()
            raise Stop("the unsized server did not start (said %r)" % line)
        self.port = int(line.split()[1])

    def stop(self):
        harness.stop_process(self.process)
        self.reader.close(self.process.stdout)


class Bench:
    def __init__(self, config, work, size):
        self.config = config
        self.work = work
        self.samples = SampleSite(config, work)
        unsigned = os.path.getsize(os.path.join(config.samples, "unsigned.exe"))
        self.sha256, self.size = self.samples.stage_large(FILE_NAME, size - unsigned)
        self.staged = os.path.join(self.samples.downloads, FILE_NAME)
        self.url = self.samples.url("/downloads/" + FILE_NAME)
        self.staging = os.path.join(config.prefix, "drive_c", "users", "*", "Temp", "TarnwickInstaller", "*",
                                    FILE_NAME)
        bench = os.path.join(config.build, "bench")
        self.bench_download = os.path.join(bench, "bench_download.exe")
        self.bench_checks = os.path.join(bench, "bench_checks.exe")
        for program in (self.bench_download, self.bench_checks):
            if not os.path.exists(program):
                raise Stop("%s is missing" % program)
        self.site_pid = None

    def write_catalog(self, url):
        self.url = url
        return self.samples.write([{"version": VERSION, "fileName": FILE_NAME, "sizeBytes": self.size,
                                    "sha256": self.sha256, "downloadUrl": url}])

    def staged_size(self, earlier):
        """The size of the staged copy that was not there before the click; None while there is none."""
        for path in glob.glob(self.staging):
            if path not in earlier:
                try:
                    return os.path.getsize(path)
                except OSError:
                    pass
        return None

    def whole(self, run):
        """Seconds from the Install click to the marker, to the staged file's creation (the answer's
        head is in) and to its completion, and the CPU spent before and after the completion."""
        folder = os.path.join(self.work, "run-%d" % run)
        markers = os.path.join(folder, "markers")
        os.makedirs(markers)
        marker = os.path.join(markers, FILE_NAME + ".ran")
        program = harness.Program(self.config, folder, "TarnwickInstaller.exe",
                                  {"TWI_SAMPLE_MARKERS": harness.windows_path(markers)})
        driver = None
        earlier = set(glob.glob(self.staging))
        try:
            driver = harness.Driver(self.config, folder)
            driver.wait_window()
            driver.wait_text(STATUS, sentence("choose_version"), 60)
            driver.call("select", VERSIONS, 0)
            watch = Watch(self.config.build, self.site_pid, program.process.pid)
            cpu = [watch.read()]
            start = time.monotonic()
            driver.call("click", INSTALL)
            created = download_end = None
            while not os.path.exists(marker):
                now = time.monotonic()
                if now > start + RUN_LIMIT:
                    raise Stop("no marker %.0f s after the click" % RUN_LIMIT)
                if program.process.poll() is not None:
                    raise Stop("the Installer ended before the sample ran")
                if download_end is None:
                    size = self.staged_size(earlier)
                    if created is None and size is not None:
                        created = now - start
                    if size == self.size:
                        download_end = now - start
                        cpu.append(watch.read())
                time.sleep(POLL_SECONDS)
            seconds = time.monotonic() - start
            cpu.append(watch.read())
            if download_end is None:
                raise Stop("the staged file was never seen whole")
            driver.wait_text(STATUS, sentence("installed_suffix", label="Studio " + VERSION), 60)
            driver.call("close")
            driver.wait_gone()
            program.wait()
            return seconds, created, download_end, spent(cpu[0], cpu[1]), spent(cpu[1], cpu[2])
        finally:
            if driver:
                driver.stop()
            program.stop()
            self.remove_staged(earlier)

    def remove_staged(self, earlier):
        """What an Installer stopped part way left in the prefix's staging folder."""
        for path in glob.glob(self.staging):
            if path not in earlier:
                try:
                    os.remove(path)
                    os.rmdir(os.path.dirname(path))
                except OSError:
                    pass

    def download(self):
        watch = Watch(self.config.build, self.site_pid)
        before = watch.read()
        own_before = children_cpu()
        line = windows_program(self.config, self.bench_download, self.url, "localhost", "downloader")
        if int(field(line, "bytes")) != self.size:
            raise Stop("the download was short: %s" % line)
        used = spent(before, watch.read())
        used["bench_download with Wine's start"] = children_cpu() - own_before
        if " cpu_seconds=" in line:
            used["bench_download timed part"] = field(line, "cpu_seconds")
        return field(line, "seconds"), used

    def check(self, mode):
        line = windows_program(self.config, self.bench_checks, harness.windows_path(self.staged), mode)
        if mode == "hash" and not line.endswith("sha256=" + self.sha256):
            raise Stop("the hash is not the file's: %s" % line)
        return field(line, "seconds")


def main():
    p = argparse.ArgumentParser(description="the whole install path against the sum of its parts")
    p.add_argument("--build", required=True)
    p.add_argument("--runs", type=int, default=3)
    p.add_argument("--size", type=int, default=DEFAULT_SIZE, help="bytes of the signed sample, about")
    p.add_argument("--unsized", action="store_true", help="serve the file without a length (no progress)")
    options = p.parse_args()
    build = os.path.abspath(options.build)
    try:
        config = checked_config(build)
    except (Stop, harness.HarnessError, OSError) as e:
        print("install_path: %s" % e, file=sys.stderr)
        return 2
    work = tempfile.mkdtemp(prefix="twi-install-path-")
    site = unsized = None
    try:
        bench = Bench(config, work, options.size)
        url = bench.url
        if options.unsized:
            unsized = UnsizedSite(config, bench.samples.downloads)
            url = "https://localhost:%d/downloads/%s" % (unsized.port, FILE_NAME)
        catalog = bench.write_catalog(url)
        # No check of the catalog at start: it would hash the large file while run 1 is timed.
        site = harness.DevSite(config, work, catalog, None, bench.samples.site_args() + ["--no-check"])
        for server in (site, unsized):
            if server:
                pin_to_first_core(server.process.pid)
        bench.site_pid = (unsized or site).process.pid
        print("file: %s, %d bytes, from %s" % (FILE_NAME, bench.size, bench.url), flush=True)
        rows = []
        window_cpu = []
        for run in range(1, options.runs + 1):
            whole, created, fetched, fetch_cpu, rest_cpu = bench.whole(run)
            download, download_cpu = bench.download()
            row = {"whole": whole, "whole's file created": created, "whole's download": fetched,
                   "whole's checks and start": whole - fetched,
                   "download": download, "hash": bench.check("hash"), "signature": bench.check("signature")}
            row["sum"] = row["download"] + row["hash"] + row["signature"]
            rows.append(row)
            window_cpu.append(fetch_cpu["window thread"])
            print("  run %d: %s" % (run, ", ".join("%s %.3f" % kv for kv in row.items())), flush=True)
            print("    CPU seconds in the whole's download: %s" % cpu_text(fetch_cpu))
            print("    CPU seconds in the whole's checks and start: %s" % cpu_text(rest_cpu))
            print("    CPU seconds while bench_download ran: %s" % cpu_text(download_cpu),
                  flush=True)
        median = {k: statistics.median(r[k] for r in rows) for k in rows[0]}
        print()
        print("Whole install path against its parts, %d bytes, median of %d (seconds)" % (bench.size, options.runs))
        for name, key in (("whole: Install click to the setup program's start", "whole"),
                          ("  click to the staged file's creation", "whole's file created"),
                          ("  click to the staged file complete", "whole's download"),
                          ("  from there the checks and the start", "whole's checks and start"),
                          ("download_file (bench_download)", "download"), ("file_sha256_hex", "hash"),
                          ("check_signature", "signature"), ("sum of the three parts (per run)", "sum")):
            print("%-52s %8.3f" % (name, median[key]))
        print("%-52s %8.3f" % ("window thread's CPU seconds in the whole's download", statistics.median(window_cpu)))
        print("whole / sum: %.3f (goal: at most 1.15)" % (median["whole"] / median["sum"]))
        return 0
    except (Stop, harness.HarnessError, AssertionError, harness.DriverError) as e:
        print("install_path: %s" % e, file=sys.stderr)
        return 1
    finally:
        for server in (site, unsized):
            if server:
                server.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "--serve-unsized":
        sys.exit(serve_unsized(*sys.argv[2:]))
    sys.exit(main())
