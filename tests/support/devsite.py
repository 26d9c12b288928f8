"""The one way the tests, the benchmarks and the demo start devsite/server.py: in a process of its
own, ready once it has said where it serves, stopped cleanly.

Run as a script it serves with the given server options until it is stopped (SIGTERM or SIGINT),
after printing the site's own "devsite: serving ..." line, for shell scripts that want the same
bounded start:
    python3 tests/support/devsite.py --port 0 --cert C --key K ...
"""

import os
import signal
import socket
import subprocess
import sys

if __name__ == "__main__":
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from support import paths  # noqa: E402
from support.errors import HarnessError  # noqa: E402
from support.processes import LineReader, stop_process  # noqa: E402

START_TIMEOUT = 30.0  # a cold start on a busy machine, with the catalog's check, can take a while
BANNER = "devsite: serving https://localhost:"


class SiteNotStarted(HarnessError):
    pass


def port_is_open(port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.settimeout(1.0)
        return s.connect_ex(("127.0.0.1", port)) == 0


def wait_for_banner(reader, timeout=START_TIMEOUT):
    """The port the site's first line names; SiteNotStarted when it says anything else, ends, or
    says nothing within timeout seconds."""
    line = reader.read(timeout)
    if not line or not line.startswith(BANNER) or not line[len(BANNER):].isdigit():
        raise SiteNotStarted("the dev site did not start (said %r)" % line)
    return int(line[len(BANNER):])


def server_options(pki, port=0, certificate="server", log=None, catalog=None, catalog_status=None,
                   downloads=None, extra_args=()):
    """The command line options of devsite/server.py for these settings."""
    options = ["--port", str(port), "--cert", os.path.join(pki, certificate + ".pem"),
               "--key", os.path.join(pki, certificate + ".key")]
    for name, value in (("--log", log), ("--catalog", catalog), ("--catalog-status", catalog_status),
                        ("--downloads", downloads)):
        if value is not None:
            options += [name, str(value)]
    return options + list(extra_args)


class SiteProcess:
    """devsite/server.py running with the given options; `port` is where it serves."""

    def __init__(self, options, errors=None, timeout=START_TIMEOUT, prefix=()):
        command = [*prefix, sys.executable, os.path.join(paths.DEVSITE, "server.py"), *options]
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=errors)
        self.reader = LineReader(self.process.stdout)
        try:
            self.port = wait_for_banner(self.reader, timeout)
        except SiteNotStarted:
            self.stop()
            raise

    @property
    def pid(self):
        return self.process.pid

    def stop(self):
        stop_process(self.process)
        self.reader.close(self.process.stdout)


def serve(options):
    """Serves until SIGTERM or SIGINT; 1 when the site did not start or ended by itself."""
    stopping = []
    for number in (signal.SIGTERM, signal.SIGINT):
        signal.signal(number, lambda *_: stopping.append(True))
    try:
        site = SiteProcess(options)
    except SiteNotStarted as e:
        print("devsite: %s" % e, file=sys.stderr)
        return 1
    print(BANNER + str(site.port), flush=True)
    try:
        while not stopping and site.process.poll() is None:
            try:
                site.process.wait(0.2)
            except subprocess.TimeoutExpired:
                pass
    finally:
        ended_by_itself = site.process.poll() is not None
        site.stop()
    return 1 if ended_by_itself and not stopping else 0


if __name__ == "__main__":
    sys.exit(serve(sys.argv[1:]))
