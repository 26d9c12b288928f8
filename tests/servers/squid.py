"""Debian's squid as the forward proxy between the Installer and the site, for the end-to-end tests.

  proxy = Squid(names_file, require_basic=False)   # listens on 127.0.0.1:proxy.port
  ...
  proxy.requests()                                  # the access log, a (status, method, target) a line
  proxy.stop()

Everything squid keeps is in a folder of its own: the generated configuration, the access and cache
logs and the pid file; there is no cache, on disk or in memory. It resolves names only through
names_file (such as run_with_devsite's hosts file, where tarnwick.test is 127.0.0.1) and lets
CONNECT through to those names on any port, nothing else. With require_basic it asks for Basic
credentials that only a throw-away htpasswd made here holds. It runs in the foreground (-N), so the
process is squid itself, stopped by its pid.
"""

import os
import pwd
import secrets
import shutil
import socket
import subprocess
import tempfile
import time

SQUID = "/usr/sbin/squid"
BASIC_HELPER = "/usr/lib/squid/basic_ncsa_auth"
SITE_NAMES = ("tarnwick.test", "downloads.tarnwick.test")
START_LIMIT_S = 30.0
STOP_LIMIT_S = 10.0

CONFIG = """\
http_port 127.0.0.1:{port}
visible_hostname proxy.test
pid_filename {folder}/squid.pid
access_log stdio:{folder}/access.log
buffered_logs off
cache_log {folder}/cache.log
cache_store_log none
coredump_dir {folder}
netdb_filename none
pinger_enable off
cache deny all
cache_mem 0 MB
hosts_file {names}
dns_nameservers 127.0.0.1
shutdown_lifetime 0 seconds
acl site dstdomain {site_names}
acl CONNECT method CONNECT
{authentication}http_access deny !site
http_access allow CONNECT site
http_access deny all
"""
BASIC = """\
auth_param basic program {helper} {folder}/htpasswd
auth_param basic realm tarnwick-test-proxy
acl signed_in proxy_auth REQUIRED
http_access deny !signed_in
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    with socket.socket() as s:
        s.settimeout(0.5)
        return s.connect_ex(("127.0.0.1", port)) == 0


class Squid:
    def __init__(self, names_file, require_basic=False):
        if not os.access(SQUID, os.X_OK):
            raise RuntimeError("squid is not installed (scripts/bootstrap installs it)")
        self.folder = tempfile.mkdtemp(prefix="twi-squid-")
        self.port = free_port()
        names = os.path.join(self.folder, "hosts")
        shutil.copyfile(names_file, names)
        authentication = ""
        if require_basic:
            self.write_htpasswd()
            authentication = BASIC.format(helper=BASIC_HELPER, folder=self.folder)
        config = os.path.join(self.folder, "squid.conf")
        with open(config, "w") as f:
            f.write(CONFIG.format(port=self.port, folder=self.folder, names=names, authentication=authentication,
                                  site_names=" ".join(SITE_NAMES)))
        self.hand_to_squid_user()
        with open(os.path.join(self.folder, "stderr"), "wb") as errors:
            self.process = subprocess.Popen([SQUID, "-N", "-f", config], stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL, stderr=errors)
        self.wait_until_listening()

    def write_htpasswd(self):
        secret = secrets.token_urlsafe(18)
        hashed = subprocess.run(["openssl", "passwd", "-apr1", secret], check=True, capture_output=True, text=True,
                                timeout=STOP_LIMIT_S).stdout.strip()
        with open(os.path.join(self.folder, "htpasswd"), "w") as f:
            f.write("tester:%s\n" % hashed)

    def hand_to_squid_user(self):
        """Started as root, squid works as the user "proxy", which must be able to write its logs."""
        if os.geteuid() != 0:
            return
        user = pwd.getpwnam("proxy")
        for root, _, files in os.walk(self.folder):
            for path in [root] + [os.path.join(root, f) for f in files]:
                os.chown(path, user.pw_uid, user.pw_gid)

    def wait_until_listening(self):
        deadline = time.monotonic() + START_LIMIT_S
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                break
            if listening(self.port):
                return
            time.sleep(0.1)
        self.stop()
        raise RuntimeError("squid did not start on port %d:\n%s" % (self.port, self.log_text("cache.log")[-2000:]))

    def log_text(self, name):
        try:
            with open(os.path.join(self.folder, name), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def requests(self):
        """(result code and status, method, target) of every line of the access log, such as
        ("TCP_TUNNEL/200", "CONNECT", "tarnwick.test:7390"). A tunnel is logged when it closes,
        and all of them once squid has stopped."""
        seen = []
        for line in self.log_text("access.log").splitlines():
            fields = line.split()
            if len(fields) >= 7:
                seen.append((fields[3], fields[5], fields[6]))
        return seen

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(STOP_LIMIT_S)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(STOP_LIMIT_S)

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)
