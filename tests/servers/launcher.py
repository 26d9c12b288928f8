"""What the launchers share: their command line and running the test program within a limit.

  LAUNCHER --pki DIR --work DIR [--limit SECONDS] -- COMMAND...
"""

import argparse
import pathlib
import subprocess
import sys


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pki", required=True, type=pathlib.Path)
    parser.add_argument("--work", required=True, type=pathlib.Path)
    parser.add_argument("--limit", type=float, default=540.0)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    args.command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not args.command:
        parser.error("no command to run")
    return args


def run_within(command, env, limit, name):
    """The command's exit code, or 1 when it had to be stopped at the limit."""
    try:
        return subprocess.run(command, env=env, timeout=limit).returncode
    except subprocess.TimeoutExpired:
        print(f"{name}: the command ran past {limit:.0f} s and was stopped", file=sys.stderr)
        return 1
