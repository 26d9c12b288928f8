#!/usr/bin/env python3
"""The Installer's start until its window shows the catalog, against a bare fetch of the same
catalog; and its memory during a large download through the window, against itself idle.

    bench/window_bench.py --build BUILD [--runs N] [--size BYTES] [--skip-catalog] [--skip-memory]

Start: from just before Wine is started (the same wine-run for all three) until
  - the Installer: its status line reads "Choose a product." (the product list is filled just
    before), seen by twi-driver's seen-text, which reads the text as the system keeps it for
    another process's window every 5 ms and reports the system clock when it saw it;
  - bench_window_floor: its one status line reads the same, seen the same way; it makes nothing
    but a window of the Installer's class with the Installer's manifest while a worker fetches as
    bench_catalog does, so it is what any window that shows the catalog costs under Wine;
  - bench_catalog: it has the whole body of the same catalog address, by its own clock, fetched
    with one synchronous WinHTTP GET with the transport's session options.
Both clocks are the system's wall clock, read on the Linux side and under Wine alike. N runs of
each (5 unless set), taking turns, medians. The dev site serves three-products.json, so that the
window stays on its product list.

Memory: one Installer with a catalog of one build, /bytes/SIZE (1 GiB unless set) from the dev site
with a SHA-256 that is not the file's, so it downloads the whole file, checks it and refuses it.
twi-driver's `memory` reads its committed private bytes (Wine leaves PrivateUsage at 0) about
every 100 ms, /proc its VmRSS at the same moments: idle with the catalog shown for 2 s first, then
from the Install click to the refusal, then idle again for 2 s.

The dev site listens on the port of the build's TWI_SITE. Run it pinned as run-download pins
its Windows programs (taskset -c LAST): the site is then moved to the first core here. BUILD needs
its test environment running. Everything started here is stopped on every way out.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BENCH = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(BENCH)
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
sys.path.insert(0, BENCH)

import harness  # noqa: E402
from harness import INSTALL, STATUS  # noqa: E402
from install_path import Stop, checked_config, pin_to_first_core  # noqa: E402
from sample_site import SampleSite  # noqa: E402
from support.proc import vm_rss  # noqa: E402
from support.product import sentence  # noqa: E402

CATALOG_PATH = "/api/installer/v1/catalog?platform=windows"
CHOOSE_PRODUCT = sentence("choose_product")
CHECK_FAILED = sentence("check_failed", host="localhost")
RUN_LIMIT = 60.0        # seconds for one start
DOWNLOAD_LIMIT = 600.0  # seconds for the large download and its checks
SAMPLE_EVERY = 0.1
IDLE_SECONDS = 2.0
MIB = 1024 * 1024


def start_site(config, work, catalog, extra=()):
    site = harness.DevSite(config, work, catalog, None, list(extra) + ["--no-check"])
    pin_to_first_core(site.process.pid)
    return site


class Launch:
    """A windowed program started straight by wine-run, the clock read just before."""

    def __init__(self, config, path, work, args=()):
        self.output = open(os.path.join(work, "program.out"), "ab")
        self.started = time.time()
        self.process = subprocess.Popen([config.wine_run, path] + list(args), stdin=subprocess.DEVNULL,
                                        stdout=self.output, stderr=subprocess.STDOUT, cwd=work)

    def stop(self):
        harness.stop_process(self.process)
        self.output.close()


def asked_at(site, started):
    """When the site had the last catalog request's head, after the TLS handshake, from the start."""
    asked = [r["time"] for r in site.requests() if r["path"].startswith(CATALOG_PATH.split("?")[0])]
    return asked[-1] - started if asked else float("nan")


def window_start(config, site, driver, path, work, args=()):
    """Until the window of the Installer's class shows the catalog: the Installer, or the floor."""
    launch = Launch(config, path, work, args)
    try:
        seen = driver.call("seen-text", STATUS, CHOOSE_PRODUCT, int(RUN_LIMIT * 1000), timeout=RUN_LIMIT)
        driver.call("close")
        launch.process.wait(harness.STOP_TIMEOUT)
    finally:
        launch.stop()
    return {"total": seen["unix_ms"] / 1000 - launch.started,
            "created": seen["created_unix_ms"] / 1000 - launch.started,
            "visible": seen["visible_unix_ms"] / 1000 - launch.started,
            "asked": asked_at(site, launch.started)}


def bare_start(config, site, url):
    started = time.time()
    try:
        done = subprocess.run([config.wine_run, os.path.join(config.build, "bench", "bench_catalog.exe"), url],
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=RUN_LIMIT)
    except subprocess.TimeoutExpired:
        raise Stop("bench_catalog took more than %.0f s" % RUN_LIMIT)
    line = done.stdout.decode("utf-8", "replace").strip()
    if done.returncode != 0 or not line.startswith("catalog status=200"):
        raise Stop("bench_catalog failed (%d): %s %s" % (done.returncode, line, done.stderr.decode(errors="replace")))
    fields = dict(word.split("=", 1) for word in line.split()[1:])
    return {"total": float(fields["unix_ms"]) / 1000 - started,
            "created": float(fields["created_unix_ms"]) / 1000 - started, "asked": asked_at(site, started)}


def floor_program(config):
    return os.path.join(config.build, "bench", "bench_window_floor.exe")


def catalog_start(config, work, runs):
    path = os.path.join(work, "TarnwickInstaller.exe")
    shutil.copyfile(config.program, path)
    url = "https://localhost:%d%s" % (config.site_port, CATALOG_PATH)
    starts = {"installer": lambda: window_start(config, site, driver, path, work),
              "floor": lambda: window_start(config, site, driver, floor_program(config), work, (url, CHOOSE_PRODUCT)),
              "bare": lambda: bare_start(config, site, url)}
    site = driver = None
    try:
        site = start_site(config, work, "three-products.json")
        driver = harness.Driver(config, work)
        # One untimed run of each first: the first start after a while pays for filling Wine's
        # caches, which neither kind should get alone.
        for start in starts.values():
            start()
        times = {kind: [] for kind in starts}
        for run in range(runs):
            for kind in (list(starts) if run % 2 == 0 else list(reversed(starts))):
                got = starts[kind]()
                times[kind].append(got)
                print("  run %d %s: %s" % (run + 1, kind, ", ".join("%s %.3f" % kv for kv in got.items())), flush=True)
        return times
    finally:
        if driver:
            driver.stop()
        if site:
            site.stop()


def memory_sample(driver, pid):
    got = driver.call("memory")
    return {"at": time.monotonic(), "private": got["private"], "working_set": got["working_set"],
            "handles": got["handles_listed"], "rss": vm_rss(pid)}


def memory_during_download(config, work, size):
    samples = SampleSite(config, work)
    catalog = samples.write([{"version": "2.1.0", "fileName": "Studio-2.1.0-large.exe", "sizeBytes": size,
                              "sha256": "0" * 64, "downloadUrl": samples.url("/bytes/%d" % size)}])
    site = program = driver = None
    try:
        site = start_site(config, work, catalog)
        program = harness.Program(config, work, "TarnwickInstaller.exe")
        driver = harness.Driver(config, work)
        driver.wait_window()
        driver.wait_text(STATUS, sentence("choose_version"), RUN_LIMIT)
        pid = program.process.pid

        def idle():
            taken = []
            end = time.monotonic() + IDLE_SECONDS
            while time.monotonic() < end:
                taken.append(memory_sample(driver, pid))
                time.sleep(SAMPLE_EVERY)
            return taken

        before = idle()
        phases = {"Downloading": [], "Checking": []}
        walk = []
        started = time.monotonic()
        driver.call("click", INSTALL)
        checking_at = None
        outcome = None
        while time.monotonic() < started + DOWNLOAD_LIMIT:
            tick = time.monotonic()
            got = memory_sample(driver, pid)
            walk.append(time.monotonic() - tick)
            status = driver.text(STATUS)
            if status.startswith(CHECK_FAILED) or not (status.startswith("Downloading") or
                                                       status.startswith("Checking")):
                outcome = status
                break
            phase = "Checking" if status.startswith("Checking") else "Downloading"
            if phase == "Checking" and checking_at is None:
                checking_at = time.monotonic() - started
            phases[phase].append(got)
            time.sleep(max(0.0, SAMPLE_EVERY - (time.monotonic() - tick)))
        seconds = time.monotonic() - started
        if outcome is None:
            raise Stop("no outcome %.0f s after the click" % DOWNLOAD_LIMIT)
        if not outcome.startswith(CHECK_FAILED):
            raise Stop("the large download ended otherwise: %r" % outcome)
        after = idle()
        driver.call("close")
        driver.wait_gone()
        program.wait()
        return {"before": before, "phases": phases, "after": after, "seconds": seconds, "checking_at": checking_at,
                "walk": statistics.median(walk) if walk else 0.0}
    finally:
        for part in (driver, program, site):
            if part:
                part.stop()


def report_catalog(times, placement):
    median = {kind: {key: statistics.median(r[key] for r in rows) for key in ("total", "created", "asked")}
              for kind, rows in times.items()}
    visible = {kind: statistics.median(r["visible"] for r in times[kind]) for kind in ("installer", "floor")}
    installer, bare, floor = (median[kind]["total"] for kind in ("installer", "bare", "floor"))
    print()
    print("Start until the catalog is had, %s, median of %d (seconds from just before Wine starts)" % (
        placement, len(times["bare"])))
    print("%-52s %8.3f" % ("Installer: its window shows the catalog", installer))
    print("%-52s %8.3f" % ("  its process made", median["installer"]["created"]))
    print("%-52s %8.3f" % ("  its window first seen visible", visible["installer"]))
    print("%-52s %8.3f" % ("  its catalog request at the site", median["installer"]["asked"]))
    print("%-52s %8.3f" % ("bench_window_floor: its window shows the catalog", floor))
    print("%-52s %8.3f" % ("  its process made", median["floor"]["created"]))
    print("%-52s %8.3f" % ("  its window first seen visible", visible["floor"]))
    print("%-52s %8.3f" % ("  its catalog request at the site", median["floor"]["asked"]))
    print("%-52s %8.3f" % ("bench_catalog: it has the body", bare))
    print("%-52s %8.3f" % ("  its process made", median["bare"]["created"]))
    print("%-52s %8.3f" % ("  its catalog request at the site", median["bare"]["asked"]))
    print("catalog start%s: installer=%.3f bare=%.3f visible=%.3f ratio=%.3f margin_ms=%.0f floor=%.3f "
          "floor_ratio=%.3f" % ("" if placement == "pinned" else " " + placement, installer, bare,
                                visible["installer"], installer / bare, (installer - bare) * 1000, floor, floor / bare))
    print("  installer runs: %s" % ", ".join("%.3f" % r["total"] for r in times["installer"]))
    print("  bare runs: %s" % ", ".join("%.3f" % r["total"] for r in times["bare"]))
    print("  floor runs: %s" % ", ".join("%.3f" % r["total"] for r in times["floor"]))


def report_memory(got, size):
    def most(rows, key):
        return max(r[key] for r in rows) if rows else 0

    idle_private = statistics.median(r["private"] for r in got["before"])
    idle_rss = statistics.median(r["rss"] for r in got["before"])
    busy = got["phases"]["Downloading"] + got["phases"]["Checking"]
    peak_private = most(busy, "private")
    peak_rss = most(busy, "rss")
    print()
    print("Memory of the Installer, MiB: idle with the catalog shown (median of %d samples), most during a %d-byte "
          "download and its checks (%d samples, one every %.0f ms; %.1f s from the click to the refusal, the checks "
          "from %.1f s), idle again after" % (len(got["before"]), size, len(busy), SAMPLE_EVERY * 1000,
                                               got["seconds"], got["checking_at"] or 0, ))
    print("%-28s %10s %12s %12s %10s" % ("", "idle", "downloading", "checking", "after"))
    for key, name in (("private", "private bytes"), ("rss", "VmRSS"), ("handles", "handles")):
        scale = 1 if key == "handles" else MIB
        print("%-28s %10.2f %12.2f %12.2f %10.2f" % (
            name, statistics.median(r[key] for r in got["before"]) / scale,
            most(got["phases"]["Downloading"], key) / scale, most(got["phases"]["Checking"], key) / scale,
            statistics.median(r[key] for r in got["after"]) / scale))
    print("memory: idle_private_mib=%.2f peak_private_mib=%.2f growth_mib=%.2f idle_rss_mib=%.2f peak_rss_mib=%.2f "
          "rss_growth_mib=%.2f seconds=%.1f samples=%d walk_ms=%.0f" % (
              idle_private / MIB, peak_private / MIB, (peak_private - idle_private) / MIB, idle_rss / MIB,
              peak_rss / MIB, (peak_rss - idle_rss) / MIB, got["seconds"], len(busy), got["walk"] * 1000))


def main():
    p = argparse.ArgumentParser(description="the Installer's start and memory against their floors")
    p.add_argument("--build", required=True)
    p.add_argument("--runs", type=int, default=5)
    p.add_argument("--size", type=int, default=1 << 30, help="bytes of the large download")
    p.add_argument("--skip-catalog", action="store_true")
    p.add_argument("--skip-memory", action="store_true")
    options = p.parse_args()
    build = os.path.abspath(options.build)
    try:
        config = checked_config(build)
        for needed in (os.path.join(build, "bench", "bench_catalog.exe"), floor_program(config)):
            if not os.path.exists(needed):
                raise Stop("%s is missing; build it first" % os.path.basename(needed))
    except (Stop, harness.HarnessError, OSError) as e:
        print("window_bench: %s" % e, file=sys.stderr)
        return 2
    work = tempfile.mkdtemp(prefix="twi-window-bench-")
    try:
        if not options.skip_catalog:
            pinned = sorted(os.sched_getaffinity(0))
            every = set(range(os.cpu_count() or 1))
            report_catalog(catalog_start(config, work, options.runs),
                           "pinned" if set(pinned) != every else "unpinned")
            if set(pinned) != every:
                # The pinning serves the downloads, whose rate depends on where the program and its
                # wineserver run; a start is mostly waiting on the loader, the display and the
                # server, and a user's machine pins nothing: the same runs again, left to the
                # scheduler (the wineserver stays where it was started).
                os.sched_setaffinity(0, every)
                try:
                    report_catalog(catalog_start(config, work, options.runs), "unpinned")
                finally:
                    os.sched_setaffinity(0, pinned)
        if not options.skip_memory:
            report_memory(memory_during_download(config, work, options.size), options.size)
        return 0
    except (Stop, harness.HarnessError, harness.DriverError, AssertionError) as e:
        print("window_bench: %s" % e, file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
