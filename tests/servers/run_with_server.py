#!/usr/bin/env python3
"""Runs one command while the scriptable loopback servers are up, and returns its exit code.

  run_with_server.py --pki DIR --work DIR [--limit SECONDS] -- COMMAND...

DIR/server.pem and server.key (for localhost, from the trusted test CA) serve the HTTPS ports; a
second CA that nobody trusts is made in the work folder for the unknown-CA port. The command
finds the ports in the environment:

  TWI_TEST_HTTPS_PORT       https://localhost:PORT, TLS 1.2 and later
  TWI_TEST_HTTP_PORT        http://127.0.0.1:PORT (also http://localhost:PORT)
  TWI_TEST_SECOND_PORT      http://127.0.0.2:PORT, another loopback host for redirects
  TWI_TEST_OLD_TLS_PORT     https://localhost:PORT speaking only TLS 1.0 and 1.1
  TWI_TEST_UNKNOWN_CA_PORT  https://localhost:PORT with a certificate from the untrusted CA
"""

import os
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import launcher  # noqa: E402
import scriptable_server  # noqa: E402

OPENSSL_LIMIT_S = 60


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, timeout=OPENSSL_LIMIT_S,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_unknown_ca(folder):
    folder.mkdir(parents=True, exist_ok=True)
    if (folder / "server.pem").is_file() and (folder / "server.key").is_file():
        return
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
            "-days", "30", "-subj", "/CN=Unknown Test CA",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
            "-subj", "/CN=localhost", cwd=folder)
    (folder / "server.ext").write_text("subjectAltName=DNS:localhost,IP:127.0.0.1\n"
                                       "extendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "30", "-sha256", "-out", "server.pem", "-extfile", "server.ext", cwd=folder)


def main():
    args = launcher.parse_arguments()
    unknown_ca = args.work / "unknown-ca"
    make_unknown_ca(unknown_ca)
    servers = scriptable_server.ServerSet(args.pki, unknown_ca)
    try:
        env = dict(os.environ)
        env.update({
            "TWI_TEST_HTTPS_PORT": str(servers.ports["https"]),
            "TWI_TEST_HTTP_PORT": str(servers.ports["http"]),
            "TWI_TEST_SECOND_PORT": str(servers.ports["second"]),
            "TWI_TEST_OLD_TLS_PORT": str(servers.ports["old-tls"]),
            "TWI_TEST_UNKNOWN_CA_PORT": str(servers.ports["unknown-ca"]),
        })
        return launcher.run_within(args.command, env, args.limit, "run_with_server")
    finally:
        servers.stop()


if __name__ == "__main__":
    sys.exit(main())
