"""The catalog as the site serves it: beta builds behind the sign-in withheld from anonymous
requests, "from-file" checksums filled in from the downloads folder, and which files the sign-in
guards."""

import hashlib
import json
import os
import threading
import urllib.parse

CHUNK = 256 * 1024


def is_beta_build(build):
    """The same rule the Installer applies: track first, then channel "test", then a "-" in the version."""
    track = build.get("track")
    if isinstance(track, str) and track:
        return track == "beta"
    if build.get("channel") == "test":
        return True
    version = build.get("version")
    return isinstance(version, str) and "-" in version


def needs_pass(catalog_path, name):
    """Whether the catalog lists the file as a beta build of a product whose betas need sign-in.

    A catalog that cannot be read or parsed guards nothing.
    """
    try:
        with open(catalog_path, "rb") as f:
            document = json.load(f)
    except (OSError, ValueError):
        return False
    products = document.get("products") if isinstance(document, dict) else None
    endings = ("/downloads/" + name, "/go/" + name)
    for product in products if isinstance(products, list) else []:
        if not isinstance(product, dict) or product.get("betasNeedSignIn") is not True:
            continue
        builds = product.get("builds")
        for build in builds if isinstance(builds, list) else []:
            if not (isinstance(build, dict) and is_beta_build(build) and isinstance(build.get("downloadUrl"), str)):
                continue
            try:
                path = urllib.parse.unquote(urllib.parse.urlsplit(build["downloadUrl"]).path)
            except ValueError:
                continue
            if path.endswith(endings):
                return True
    return False


def withhold_betas(products):
    """Drops the beta builds of products whose betas need sign-in; whether any was dropped."""
    changed = False
    for product in products:
        builds = product.get("builds")
        if product.get("betasNeedSignIn") is not True or not isinstance(builds, list):
            continue
        kept = [b for b in builds if not (isinstance(b, dict) and is_beta_build(b))]
        if len(kept) != len(builds):
            product["builds"] = kept
            product["betaAvailable"] = True
            changed = True
    return changed


def download_name(url):
    """The file name a `downloadUrl` ending in /downloads/<name> or /go/<name> names; None otherwise."""
    try:
        path = urllib.parse.unquote(urllib.parse.urlsplit(url).path)
    except ValueError:
        return None
    folder, _, name = path.rpartition("/")
    return name if name and folder.endswith(("/downloads", "/go")) else None


def download_path(folder, name):
    """The file `name` in the downloads folder; None when there is none or the name leads out of it."""
    folder = os.path.realpath(folder)
    path = os.path.realpath(os.path.join(folder, name))
    return path if name and os.path.dirname(path) == folder and os.path.isfile(path) else None


class FileHashes:
    """SHA-256 and size of download files, hashed again only when a file's mtime or size changes:
    the catalog is answered on every start of the Installer, and a setup program may be large."""

    def __init__(self):
        self.lock = threading.Lock()
        self.known = {}  # path -> (mtime_ns, size, hex digest)

    def of(self, path):
        """(hex digest, size) of the file; OSError when it cannot be read."""
        info = os.stat(path)
        key = (info.st_mtime_ns, info.st_size)
        with self.lock:
            known = self.known.get(path)
        if known is None or known[:2] != key:
            digest = hashlib.sha256()
            with open(path, "rb") as f:
                while chunk := f.read(CHUNK):
                    digest.update(chunk)
            known = key + (digest.hexdigest(),)
            with self.lock:
                self.known[path] = known
        return known[2], known[1]


def fill_from_file(entry, downloads, hashes):
    """Writes the SHA-256 and size of the file an entry's "from-file" checksum stands for.

    Checksums of real files change with every build and signature, so they cannot be written
    into a catalog in advance. Without the file the entry stays as written.
    """
    if not (isinstance(entry, dict) and entry.get("sha256") == "from-file"
            and isinstance(entry.get("downloadUrl"), str)):
        return False
    name = download_name(entry["downloadUrl"])
    path = download_path(downloads, name) if name else None
    if path is None:
        return False
    try:
        entry["sha256"], entry["sizeBytes"] = hashes.of(path)
    except OSError:
        return False
    return True


def served_catalog(raw, signed_in, downloads, hashes):
    """The document as written, with beta builds of sign-in products withheld from a request
    without a valid pass and "from-file" checksums filled in.

    A document that does not parse is served exactly as written, so that broken catalogs
    can be tried out.
    """
    try:
        document = json.loads(raw)
    except (ValueError, RecursionError):  # nesting deeper than Python's stack is still served
        return raw
    if not isinstance(document, dict):
        return raw
    products = document.get("products")
    products = [p for p in products if isinstance(p, dict)] if isinstance(products, list) else []
    changed = False if signed_in else withhold_betas(products)
    entries = [document.get("installer")]
    for product in products:
        builds = product.get("builds")
        entries += builds if isinstance(builds, list) else []
    for entry in entries:
        changed |= fill_from_file(entry, downloads, hashes)
    return json.dumps(document, indent=2, ensure_ascii=False).encode() if changed else raw
