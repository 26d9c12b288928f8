#!/usr/bin/env python3
"""Turns what bench/run-all's parts printed into one markdown section and puts it into
bench/README.md between the run-all markers (replacing what a former run put there); run-all
calls it with the figures it took of the machine. Printed as well.

A goal that is missed gets the figures that say where the time or the memory went, taken from
the same run; a part that failed gets its row marked and the end of what it printed.
"""

import argparse
import os
import re

BEGIN, END = "<!-- run-all:begin -->", "<!-- run-all:end -->"
MIB = 1024 * 1024
# Shipped in System32 with every Windows 10 and 11; the executable may need nothing else.
SYSTEM_DLLS = {"advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "dwmapi.dll",
               "gdi32.dll", "gdiplus.dll", "kernel32.dll", "msimg32.dll", "msvcrt.dll", "ncrypt.dll", "ole32.dll",
               "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "secur32.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
               "userenv.dll", "uxtheme.dll", "version.dll", "winhttp.dll", "wininet.dll", "wintrust.dll",
               "ws2_32.dll", "ucrtbase.dll", "ntdll.dll"}


def read(work, name):
    path = os.path.join(work, name)
    if not os.path.exists(path):
        return ""
    with open(path, errors="replace") as f:
        return f.read()


def number(pattern, text, group=1):
    match = re.search(pattern, text, re.M)
    return float(match.group(group)) if match else None


def runs_of(text, mode, key="MB/s"):
    return [float(m) for m in re.findall(r"^\s+run \d+: %s .*? %s=([0-9.]+)" % (re.escape(mode), re.escape(key)),
                                         text, re.M)]


def yes(met):
    return "**yes**" if met else "**NO**"


def fixed(value, digits=3):
    return "–" if value is None else "%.*f" % (digits, value)


class Report:
    def __init__(self, options):
        self.o = options
        self.rows = []
        self.misses = []
        self.failed = set(options.failed.split())

    def row(self, what, measured, floor, ratio, goal, met, miss=None):
        self.rows.append("| %s | %s | %s | %s | %s | %s |" % (what, measured, floor, ratio, goal,
                                                             "failed" if met is None else yes(met)))
        if met is False and miss:
            self.misses.append(miss)

    def failed_part(self, name, what):
        tail = [line for line in read(self.o.work, name + ".txt").splitlines() if line.strip()][-3:]
        self.rows.append("| %s | failed | | | | failed |" % what)
        self.misses.append("%s: the part failed; it ended with: %s" % (what, " / ".join("`%s`" % t for t in tail)))

    def download(self):
        text = read(self.o.work, "download.txt")
        what = "1. download, 256 MiB from the dev site (median of 3)"
        ratio = number(r"^download_file / bare loop: ([0-9.]+)", text)
        if "download" in self.failed or ratio is None:
            return self.failed_part("download", what)
        mine = re.search(r"^download_file\s+([0-9.]+)\s+([0-9.]+)\s+(\S+)$", text, re.M)
        bare = re.search(r"^bare WinHTTP loop\s+([0-9.]+)\s+([0-9.]+)\s+(\S+)$", text, re.M)
        curl = number(r"^curl \(native, to a file\)\s+([0-9.]+)", text)
        self.row(what, "%s MB/s `download_file`" % mine.group(1),
                 "%s MB/s bare WinHTTP loop (curl %s MB/s)" % (bare.group(1), fixed(curl, 1)), "%.3f" % ratio,
                 "≥ 0.95", ratio >= 0.95,
                 "Download: the runs were %s MB/s (`download_file`) against %s MB/s (bare loop), with %s against "
                 "%s CPU seconds of the program's own over the timed part." % (
                     ", ".join("%.1f" % r for r in runs_of(text, "downloader")),
                     ", ".join("%.1f" % r for r in runs_of(text, "bare")), mine.group(3), bare.group(3)))

    def checks(self):
        text = read(self.o.work, "checks.txt")
        hash_text, _, path_text = text.partition("Whole install path against its parts")
        self.hash(hash_text)
        self.install_path(path_text, text)

    def hash(self, text):
        what = "2. SHA-256 of a 512 MiB file (median of %d)" % self.o.runs
        ratio = number(r"^file_sha256_hex / bare loop: ([0-9.]+)", text)
        if ratio is None:
            return self.failed_part("checks", what)
        by_cpu = number(r"by CPU time: ([0-9.]+)", text)
        mine = re.search(r"^file_sha256_hex\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)$", text, re.M)
        bare = re.search(r"^bare bcrypt loop\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)$", text, re.M)
        native = number(r"^sha256sum \(native\)\s+([0-9.]+)", text)
        self.row(what, "%s MB/s `file_sha256_hex`" % mine.group(1),
                 "%s MB/s bare bcrypt loop (sha256sum %s MB/s)" % (bare.group(1), fixed(native, 1)),
                 "%.3f (by CPU time %s)" % (ratio, fixed(by_cpu)), "≥ 0.95", ratio >= 0.95,
                 "Hash: the runs were %s MB/s (`file_sha256_hex`) against %s MB/s (bare loop); CPU seconds %s "
                 "against %s." % (", ".join("%.1f" % r for r in runs_of(text, "hash")),
                                  ", ".join("%.1f" % r for r in runs_of(text, "bare-hash")), mine.group(3),
                                  bare.group(3)))

    def install_path(self, text, whole_text):
        what = "3. Install click to the setup program's start, 256 MiB signed sample (median of %d)" % self.o.runs
        ratio = number(r"^whole / sum: ([0-9.]+)", text)
        if ratio is None:
            return self.failed_part("checks", what)
        value = {name: number(r"^%s\s+([0-9.]+)$" % re.escape(name), text) for name in (
            "whole: Install click to the setup program's start", "  click to the staged file complete",
            "  from there the checks and the start", "download_file (bench_download)", "file_sha256_hex",
            "check_signature", "sum of the three parts (per run)",
            "window thread's CPU seconds in the whole's download")}
        wholes = [float(m) for m in re.findall(r"^\s+run \d+: whole ([0-9.]+)", whole_text, re.M)]
        self.row(what, "%s s" % fixed(value["whole: Install click to the setup program's start"]),
                 "%s s, the sum of its parts" % fixed(value["sum of the three parts (per run)"]), "%.3f" % ratio,
                 "≤ 1.15", ratio <= 1.15,
                 "Install path: the Installer's download took %s s against %s s for `bench_download`; its checks "
                 "and the start %s s against %s s for the hash and the signature parts; its window thread spent "
                 "%s CPU seconds during the download; the whole runs were %s s." % (
                     fixed(value["  click to the staged file complete"]),
                     fixed(value["download_file (bench_download)"]),
                     fixed(value["  from there the checks and the start"]),
                     fixed((value["file_sha256_hex"] or 0) + (value["check_signature"] or 0)),
                     fixed(value["window thread's CPU seconds in the whole's download"], 2),
                     ", ".join("%.3f" % w for w in wholes)))

    def catalog(self):
        text = read(self.o.work, "window.txt")
        blocks = text.split("Start until the catalog is had, ")[1:]
        if not blocks:
            return self.failed_part("window", "4. start until the window shows the catalog")
        for block in blocks:
            placement = block.split(",", 1)[0]
            self.catalog_row(block, placement)

    def catalog_row(self, text, placement):
        label = "4." if placement == "pinned" else "4b."
        what = "%s start until the window shows the catalog, %s (median of %d each, Wine's start included)" % (
            label, "programs on the last core as for the downloads" if placement == "pinned"
            else "programs left to the scheduler", self.o.start_runs)
        match = re.search(r"^catalog start[a-z ]*: installer=([0-9.]+) bare=([0-9.]+) visible=([0-9.]+) "
                          r"ratio=([0-9.]+) margin_ms=(-?[0-9]+) floor=([0-9.]+) floor_ratio=([0-9.]+)", text, re.M)
        if not match:
            return self.failed_part("window", what)
        installer, bare, visible, ratio, margin, floor, floor_ratio = (float(g) for g in match.groups())
        # In the order window_bench.py prints them: the Installer, the least window, the bare fetch.
        created = re.findall(r"^  its process made\s+([0-9.]+)$", text, re.M)
        seen = re.findall(r"^  its window first seen visible\s+([0-9.]+)$", text, re.M)
        asked = re.findall(r"^  its catalog request at the site\s+([0-9.]+)$", text, re.M)

        def nth(found, index):
            return found[index] if len(found) > index else "–"

        def runs(kind):
            return re.search(r"%s runs: (.*)$" % kind, text, re.M).group(1)

        self.row(what, "%.3f s, Installer's status reads \"Choose a product.\"" % installer,
                 "%.3f s, `bench_catalog` has the body (the least window: %.3f s, %.3f)" % (bare, floor, floor_ratio),
                 "%.3f (%+.0f ms)" % (ratio, margin), "≤ 1.15", ratio <= 1.15,
                 "Start, %s: the Installer's process was made %s s after Wine was started, its window was first "
                 "seen visible at %.3f s, its catalog request reached the site at %s s and its window showed the "
                 "catalog at %.3f s; `bench_window_floor`'s process was made at %s s, its window seen at %s s, its "
                 "request at the site at %s s and its window showed the catalog at %.3f s, %.3f times the bare "
                 "fetch%s; `bench_catalog`'s process was made at %s s, its request reached the site at %s s and it "
                 "had the body at %.3f s. Runs: %s (Installer), %s (least window), %s (bare)." % (
                     placement, nth(created, 0), visible, nth(asked, 0), installer, nth(created, 1), nth(seen, 1),
                     nth(asked, 1), floor, floor_ratio,
                     ", above the goal itself" if floor_ratio > 1.15 else "", nth(created, 2), nth(asked, 2),
                     bare, runs("installer"), runs("floor"), runs("bare")))

    def memory(self):
        text = read(self.o.work, "window.txt")
        what = "5. private bytes during a %d MiB download through the window" % (self.o.memory_size // MIB)
        match = re.search(r"^memory: (.*)$", text, re.M)
        if not match:
            return self.failed_part("window", what)
        got = {k: float(v) for k, v in (w.split("=") for w in match.group(1).split())}
        table = text[text.index("Memory of the Installer"):match.start()].strip().splitlines()
        self.row(what, "%.2f MiB at most (VmRSS %.2f MiB)" % (got["peak_private_mib"], got["peak_rss_mib"]),
                 "%.2f MiB idle with the catalog shown (VmRSS %.2f MiB)" % (got["idle_private_mib"],
                                                                           got["idle_rss_mib"]),
                 "%+.2f MiB (VmRSS %+.2f MiB)" % (got["growth_mib"], got["rss_growth_mib"]), "≤ idle + 8 MiB",
                 got["growth_mib"] <= 8.0,
                 "Memory: " + " / ".join(line.strip() for line in table))
        self.memory_table = table

    def size(self):
        sizes = read(self.o.work, "size.txt").split()
        if not sizes:
            return self.failed_part("size", "6. size of TarnwickInstaller.exe")
        built = int(sizes[0])
        stripped = " (%s stripped of its symbols and debug sections)" % format(int(sizes[1]), ",") \
            if len(sizes) > 1 else ""
        self.row("6. size of TarnwickInstaller.exe as built", "%s bytes%s" % (format(built, ","), stripped),
                 "2 MiB = %s bytes" % format(self.o.size_goal, ","), "%.3f" % (built / self.o.size_goal),
                 "≤ 2 MiB", built <= self.o.size_goal,
                 "Size: the executable as built is %s bytes." % format(built, ","))

    def imports(self):
        dlls = read(self.o.work, "imports.txt").split()
        if not dlls:
            return self.failed_part("imports", "7. DLL imports")
        others = [d for d in dlls if d.lower() not in SYSTEM_DLLS and not d.lower().startswith("api-ms-win-")]
        self.row("7. DLLs imported (objdump -p, \"DLL Name\")", ", ".join(dlls),
                 "–", "%d of %d system DLLs" % (len(dlls) - len(others), len(dlls)), "system DLLs only",
                 not others, "Imports: not shipped with Windows: %s." % ", ".join(others))

    def text(self):
        o = self.o
        counts = dict(item.split(":") for item in o.busy.split())
        busy = any(count != "0" for count in counts.values())
        lines = [
            "One run of `bench/run-all` on %s: `nproc` %s, CPU \"%s\", %s; load average %s before and %s after%s." % (
                o.date, o.nproc, o.cpu, o.wine, o.load_before, o.load_after,
                "; **not quiet: fuzzer processes were seen (%s)**" % ", ".join(
                    "%s %s" % (k.replace("-", " "), v) for k, v in counts.items()) if busy
                else "; no fuzzer was running before, between or after the parts"),
            "",
            "| | measured | floor | ratio | goal | met? |",
            "|---|---|---|---|---|---|",
        ] + self.rows
        if self.misses:
            lines += ["", "Missed, with the figures of the same run that say why:", ""]
            lines += ["- " + m for m in self.misses]
        if getattr(self, "memory_table", None):
            lines += ["", "Memory by phase (the most seen in each; the sampling walks the process's memory map, "
                      "which costs it time but not memory):", "", "```"] + self.memory_table + ["```"]
        return "\n".join(lines)


def write_readme(path, text):
    with open(path) as f:
        readme = f.read()
    if BEGIN in readme and END in readme:
        head, rest = readme.split(BEGIN, 1)
        readme = head + BEGIN + "\n" + text + "\n" + END + rest.split(END, 1)[1]
    else:
        readme = readme.rstrip("\n") + "\n\n" + BEGIN + "\n" + text + "\n" + END + "\n"
    with open(path, "w") as f:
        f.write(readme)


def main():
    p = argparse.ArgumentParser()
    for name in ("work", "readme", "date", "nproc", "cpu", "wine", "load-before", "load-after", "busy", "failed"):
        p.add_argument("--" + name, default="")
    for name in ("size-goal", "memory-size", "runs", "start-runs"):
        p.add_argument("--" + name, type=int, required=True)
    options = p.parse_args()
    report = Report(options)
    report.download()
    report.checks()
    report.catalog()
    report.memory()
    report.size()
    report.imports()
    text = report.text()
    print()
    print(text)
    if options.readme:
        write_readme(options.readme, text)
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
