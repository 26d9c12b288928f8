#!/usr/bin/env python3
"""tarnwick-catalog on the signed sample setup programs: `entry` writes entries that `check --files`
passes, `check --files` finds files changed or signed again after the catalog was written, and the
signer it reads is the one the Installer reads under Wine.

    test_signed_files.py --tool EXE --samples DIR --pki DIR --wine-run SCRIPT --show-signer EXE
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

PUBLISHER = "Tarnwick Software Ltd"
SITE = "https://localhost:7180"
TIMEOUT = 180

config = None


def windows_path(path):
    """The Wine path of a Linux path: the Z: drive is the Linux root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class SignedFiles(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="twi-tool-")
        self.addCleanup(shutil.rmtree, self.work, True)
        self.downloads = os.path.join(self.work, "downloads")
        os.mkdir(self.downloads)
        self.trust = os.path.join(config.pki, "ca.pem")

    def tool(self, *arguments):
        return subprocess.run([config.tool, *arguments], capture_output=True, text=True, timeout=TIMEOUT)

    def stage(self, sample, name):
        shutil.copyfile(os.path.join(config.samples, sample), os.path.join(self.downloads, name))
        return os.path.join(self.downloads, name)

    def entry(self, path, version, *options):
        url = SITE + "/downloads/" + os.path.basename(path)
        return self.tool("entry", path, "--version", version, "--url", url, "--ca-file", self.trust, *options)

    def write_catalog(self, builds):
        document = {"minimumInstallerVersion": "1.0.0", "publisher": PUBLISHER,
                    "products": [{"slug": "studio", "name": "Studio", "builds": builds}]}
        path = os.path.join(self.work, "catalog.json")
        with open(path, "w") as f:
            json.dump(document, f, indent=2)
        return path

    def check(self, catalog):
        run = self.tool("check", catalog, "--site-host", "localhost", "--files", self.downloads,
                        "--ca-file", self.trust, "--json")
        self.assertIn(run.returncode, (0, 1), run.stderr)
        report = json.loads(run.stdout)
        self.assertEqual(report["exitStatus"], run.returncode)
        return report

    def errors(self, report):
        return [(f["build"], f["field"], f["message"]) for f in report["findings"] if f["severity"] == "error"]

    def catalog_of_entries(self):
        """Entries that `entry` wrote for three signed samples, put into one catalog."""
        builds = []
        for version, sample in (("2.1.0", "sample-setup-exit-0.exe"), ("2.0.8", "sample-setup-exit-8.exe"),
                                ("2.2.0-beta.1", "sample-setup-exit-5.exe")):
            run = self.entry(self.stage(sample, "Studio-%s.exe" % version), version, "--package-id", "studio")
            self.assertEqual(run.returncode, 0, run.stderr)
            builds.append(json.loads(run.stdout))
        return self.write_catalog(builds)

    def test_entries_that_entry_writes_pass_check_with_their_files(self):
        report = self.check(self.catalog_of_entries())
        self.assertEqual(self.errors(report), [])
        self.assertEqual(report["exitStatus"], 0)
        self.assertEqual([(f["build"], f["signature"], f["signer"]) for f in report["files"]],
                         [("2.1.0", "valid", PUBLISHER), ("2.0.8", "valid", PUBLISHER),
                          ("2.2.0-beta.1", "valid", PUBLISHER)])
        studio = report["window"]["products"][0]
        self.assertEqual(studio["official"], [{"version": "2.1.0", "latest": True}, {"version": "2.0.8", "latest": False}])
        self.assertEqual(studio["beta"], [{"version": "2.2.0-beta.1", "latest": True}])

    def test_entry_refuses_files_without_a_valid_signature(self):
        for sample in ("unsigned.exe", "tampered.exe", "not-a-program.txt"):
            with self.subTest(sample=sample):
                run = self.entry(self.stage(sample, sample), "1.0.0")
                self.assertEqual(run.returncode, 1, run.stderr)
                self.assertEqual(run.stdout, "")
                self.assertIn("refused", run.stderr)

    def test_check_finds_files_changed_or_signed_again_after_the_catalog_was_written(self):
        catalog = self.catalog_of_entries()
        # Changed after signing; signed again by the publisher; signed again by someone else.
        self.stage("tampered.exe", "Studio-2.1.0.exe")
        resigned = os.path.join(self.downloads, "Studio-2.0.8.exe")
        os.remove(resigned)
        subprocess.run(["osslsigncode", "sign", "-certs", os.path.join(config.pki, "sign.pem"),
                        "-key", os.path.join(config.pki, "sign.key"), "-h", "sha256", "-n", "again",
                        "-in", os.path.join(config.samples, "unsigned.exe"), "-out", resigned],
                       check=True, capture_output=True, timeout=TIMEOUT)
        self.stage("signed-other.exe", "Studio-2.2.0-beta.1.exe")

        report = self.check(catalog)
        self.assertEqual(report["exitStatus"], 1)
        errors = self.errors(report)
        fields = sorted((build, field) for build, field, _ in errors)
        self.assertEqual(fields, [("2.0.8", "sha256"), ("2.1.0", ""), ("2.1.0", "sha256"),
                                  ("2.2.0-beta.1", ""), ("2.2.0-beta.1", "sha256")])
        messages = {(build, field): message for build, field, message in errors}
        self.assertIn("signature is not valid", messages[("2.1.0", "")])
        self.assertIn('signed by "Other Software Ltd", not by the publisher "%s"' % PUBLISHER,
                      messages[("2.2.0-beta.1", "")])

    def test_the_signer_is_the_one_the_installer_reads_under_wine(self):
        samples = ["sample-setup-exit-0.exe", "signed-case.exe", "signed-other.exe", "signed-long.exe",
                   "signed-no-cn.exe"]
        builds = [{"version": "1.0.%d" % i, "fileName": name, "sha256": "0" * 64,
                   "downloadUrl": SITE + "/downloads/" + name} for i, name in enumerate(samples)]
        for name in samples:
            self.stage(name, name)
        report = self.check(self.write_catalog(builds))
        tool_reads = [(f["file"], f["signature"], f["signer"]) for f in report["files"]]

        shown = subprocess.run([config.wine_run, config.show_signer, PUBLISHER] +
                               [windows_path(os.path.join(self.downloads, name)) for name in samples],
                               capture_output=True, text=True, timeout=TIMEOUT)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        installer_reads = [json.loads(line) for line in shown.stdout.splitlines()]
        self.assertEqual(tool_reads, [(name, "valid", read["signer"]) for name, read in zip(samples, installer_reads)])
        self.assertEqual([read["ok"] for read in installer_reads], [True, False, False, False, False])
        self.assertEqual(tool_reads[1][2], PUBLISHER.lower())
        # Without a common name there is no signer, whatever the e-mail address or organisation.
        self.assertEqual([tool_reads[3][2], tool_reads[4][2]], ["", ""])

    def test_check_refuses_a_file_signed_without_a_common_name(self):
        self.stage("signed-no-cn.exe", "Studio-1.0.0.exe")
        build = {"version": "1.0.0", "fileName": "Studio-1.0.0.exe", "sha256": "0" * 64,
                 "downloadUrl": SITE + "/downloads/Studio-1.0.0.exe"}
        report = self.check(self.write_catalog([build]))
        self.assertEqual(report["exitStatus"], 1)
        self.assertIn(("1.0.0", "", "no signer name could be read from Studio-1.0.0.exe"),
                      [(b, f, m[:len("no signer name could be read from Studio-1.0.0.exe")])
                       for b, f, m in self.errors(report)])


def main():
    global config
    parser = argparse.ArgumentParser()
    for option in ("--tool", "--samples", "--pki", "--wine-run", "--show-signer"):
        parser.add_argument(option, required=True)
    config, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
