"""The check of the served catalog by tarnwick-catalog once the site serves, a line of the tool's
a line on standard output behind "devsite: check: "."""

import os
import shutil
import subprocess

import catalog_document

CHECK_LIMIT_SECONDS = 300


def check_command(options):
    """The tarnwick-catalog command that checks the catalog at start, or None without the tool.

    The catalog goes in on standard input as an anonymous request is served it; its addresses
    are judged for this site's host, and the files in the downloads folder are checked too.
    """
    if options.no_check:
        return None
    tool = options.check_with or shutil.which("tarnwick-catalog")
    if not tool:
        return None
    command = [tool, "check", "-", "--site-host", "localhost"]
    if os.path.isdir(options.downloads):
        command += ["--files", options.downloads]
    trust = options.check_ca or os.path.join(os.path.dirname(os.path.abspath(options.cert)), "ca.pem")
    if os.path.isfile(trust):
        command += ["--ca-file", trust]
    return command


def check_served_catalog(options, hashes, command):
    """Prints what tarnwick-catalog says about the catalog, a line each, behind "devsite: check: "."""
    if options.catalog_status is not None:
        lines = ["skipped: the catalog is answered with status %d" % options.catalog_status]
    else:
        try:
            with open(options.catalog, "rb") as f:
                served = catalog_document.served_catalog(f.read(), False, options.downloads, hashes)
            run = subprocess.run(command, input=served, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 timeout=CHECK_LIMIT_SECONDS)
            lines = run.stdout.decode("utf-8", "replace").splitlines()
        except (OSError, subprocess.SubprocessError) as e:
            lines = ["%s could not be run: %s" % (command[0], e)]
    for line in lines:
        print("devsite: check: " + line, flush=True)
