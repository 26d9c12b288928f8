#!/usr/bin/env python3
"""Runs one command while the dev site is up, and returns its exit code.

  run_with_devsite.py --pki DIR --work DIR [--limit SECONDS] -- COMMAND...

The dev site serves https://localhost:PORT with DIR/server.pem (from the trusted test CA), a
downloads folder and a catalog of the work folder's own. The command finds the port in
TWI_TEST_SITE_PORT.

Tests of a real-looking site need names that lead to this machine: where the system lets us, the
command runs in a mount namespace of its own whose /etc/hosts adds "tarnwick.test" and
"downloads.tarnwick.test" for 127.0.0.1 (nothing else changes, and no other process sees it), and
TWI_TEST_NAMED_HOSTS is 1; otherwise it is 0 and those tests skip.
"""

import json
import os
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
import launcher  # noqa: E402
from support.devsite import SiteNotStarted, SiteProcess, server_options  # noqa: E402
from support.pattern import pattern  # noqa: E402

NAMED_HOSTS = ("tarnwick.test", "downloads.tarnwick.test")
START_LIMIT_S = 20.0

# One product whose beta build is behind the sign-in, so the site guards its download.
CATALOG = {
    "publisher": "Tarnwick Software Ltd",
    "minimumInstallerVersion": "1.0.0",
    "products": [{
        "slug": "guarded",
        "name": "Guarded",
        "betasNeedSignIn": True,
        "builds": [{
            "version": "2.0.0-beta.1",
            "fileName": "guarded-beta.bin",
            "downloadUrl": "https://localhost/downloads/guarded-beta.bin",
            "sha256": "0" * 64,
            "sizeBytes": 4096,
        }],
    }],
}


def write_named_hosts(path):
    """Writes this system's /etc/hosts to path, with NAMED_HOSTS added on 127.0.0.1."""
    named = "\n127.0.0.1 " + " ".join(NAMED_HOSTS) + "\n"
    pathlib.Path(path).write_text(pathlib.Path("/etc/hosts").read_text() + named)


def prepare(work):
    downloads = work / "downloads"
    downloads.mkdir(parents=True, exist_ok=True)
    (downloads / "guarded-beta.bin").write_bytes(pattern(4096))
    catalog = work / "catalog.json"
    catalog.write_text(json.dumps(CATALOG, indent=2))
    hosts = work / "hosts"
    write_named_hosts(hosts)
    return downloads, catalog, hosts


def start_site(pki, work, downloads, catalog):
    options = server_options(str(pki), log=work / "site.log", catalog=catalog, downloads=downloads,
                             extra_args=["--bind", "127.0.0.1"])
    try:
        return SiteProcess(options, timeout=START_LIMIT_S)
    except SiteNotStarted as e:
        raise SystemExit("run_with_devsite: %s" % e)


def in_own_hosts(hosts, command):
    """The command wrapped so that it sees `hosts` as /etc/hosts, or None where that is refused."""
    wrapped = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
               'mount --bind "$0" /etc/hosts && exec "$@"', str(hosts)]
    try:
        probe = subprocess.run(wrapped + ["true"], timeout=10, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    except (OSError, subprocess.TimeoutExpired):
        return None
    return wrapped + command if probe.returncode == 0 else None


def main():
    args = launcher.parse_arguments()
    downloads, catalog, hosts = prepare(args.work)
    site = start_site(args.pki, args.work, downloads, catalog)
    try:
        wrapped = in_own_hosts(hosts, args.command)
        env = dict(os.environ, TWI_TEST_SITE_PORT=str(site.port), TWI_TEST_NAMED_HOSTS="1" if wrapped else "0")
        return launcher.run_within(wrapped or args.command, env, args.limit, "run_with_devsite")
    finally:
        site.stop()


if __name__ == "__main__":
    sys.exit(main())
