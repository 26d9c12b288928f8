"""Catalogs of real, signed sample setup programs for the end-to-end tests.

The samples are signed at test time (samples.sign), so their hashes are only known then: each
test copies the ones it needs into its own downloads folder and writes a catalog with their true
SHA-256 and size, or with a wrong one where that is the point.
"""

import hashlib
import json
import os
import shutil
import subprocess

PUBLISHER = "Tarnwick Software Ltd"


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for piece in iter(lambda: f.read(1 << 20), b""):
            h.update(piece)
    return h.hexdigest()


class SampleSite:
    """A downloads folder and a catalog in a test's work folder, served by the dev site."""

    def __init__(self, config, work_dir):
        self.config = config
        self.downloads = os.path.join(work_dir, "downloads")
        self.catalog_path = os.path.join(work_dir, "catalog.json")
        os.makedirs(self.downloads, exist_ok=True)

    def url(self, target):
        return "https://localhost:%d%s" % (self.config.site_port, target)

    def stage(self, sample, file_name):
        """Copies a signed sample in under file_name; returns its (sha256, size)."""
        path = os.path.join(self.downloads, file_name)
        shutil.copyfile(os.path.join(self.config.samples, sample), path)
        return digest(path), os.path.getsize(path)

    def stage_large(self, file_name, padding):
        """The unsigned sample that exits 0, grown by `padding` zero bytes and then signed by the
        publisher, so that its checks take a while."""
        grown = os.path.join(self.downloads, file_name + ".unsigned")
        shutil.copyfile(os.path.join(self.config.samples, "unsigned.exe"), grown)
        with open(grown, "ab") as f:
            f.truncate(os.path.getsize(grown) + padding)
        path = os.path.join(self.downloads, file_name)
        pki = self.config.pki
        subprocess.run(["osslsigncode", "sign", "-certs", os.path.join(pki, "sign.pem"), "-key",
                        os.path.join(pki, "sign.key"), "-h", "sha256", "-in", grown, "-out", path],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        os.remove(grown)
        return digest(path), os.path.getsize(path)

    def build(self, version, sample, file_name, sha256=None, url=None, track=None):
        """One build entry; a sample of None names no file, for addresses that never serve one."""
        digest_of, size = self.stage(sample, file_name) if sample else ("0" * 64, 1000)
        entry = {
            "version": version,
            "fileName": file_name,
            "sizeBytes": size,
            "sha256": sha256 or digest_of,
            "downloadUrl": url or self.url("/downloads/" + file_name),
        }
        if track:
            entry["track"] = track
        return entry

    def write(self, builds, installer=None, minimum="1.0.0", name="Studio", betas_need_sign_in=False):
        product = {"slug": name.lower(), "name": name, "builds": builds}
        if betas_need_sign_in:
            product["betasNeedSignIn"] = True
        document = {"minimumInstallerVersion": minimum, "publisher": PUBLISHER, "products": [product]}
        if installer:
            document["installer"] = installer
        with open(self.catalog_path, "w") as f:
            json.dump(document, f, indent=2)
        return self.catalog_path

    def site_args(self):
        return ["--downloads", self.downloads]

    def write_beta_behind_sign_in(self):
        """Studio with an official build and a beta build that only a signed-in tester sees."""
        return self.write([
            self.build("2.2.0-beta.1", "sample-setup-exit-0.exe", "Studio-2.2.0-beta.1.exe", track="beta"),
            self.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0.exe"),
        ], betas_need_sign_in=True)
