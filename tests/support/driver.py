"""The client of twi-driver, which runs under Wine beside the Installer: one command out, one JSON
line back, every answer awaited for a bounded time."""

import json
import subprocess
import time

from support.errors import DriverError, HarnessError
from support.processes import STOP_TIMEOUT, LineReader, stop_process

START_TIMEOUT = 30.0  # a cold Wine start on a busy machine can take a while


def wait_for(predicate, timeout, what):
    """Polls predicate until it returns a true value; fails the test after timeout seconds."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            last = predicate()
            if last:
                return last
        except DriverError as e:
            last = e
        if time.monotonic() >= deadline:
            raise AssertionError("timed out after %.0f s waiting for %s (last: %r)" % (timeout, what, last))
        time.sleep(0.1)


def driver_word(value):
    """One word of a driver command: numbers as they are, text as a JSON string when needed."""
    text = str(value)
    if text and text.isascii() and not any(c.isspace() or c == '"' for c in text):
        return text
    return json.dumps(text)


class Driver:
    """twi-driver under Wine (wine_run runs a Windows program), its errors into errors_path."""

    def __init__(self, wine_run, driver, errors_path):
        self.errors_path = errors_path
        with open(errors_path, "wb") as errors:
            self.process = subprocess.Popen([wine_run, driver], stdin=subprocess.PIPE,
                                            stdout=subprocess.PIPE, stderr=errors)
        self.reader = LineReader(self.process.stdout)

    def call(self, *words, timeout=30.0):
        line = " ".join(driver_word(w) for w in words) + "\n"
        try:
            self.process.stdin.write(line.encode())
            self.process.stdin.flush()
        except OSError as e:
            raise HarnessError("the driver is gone: %s" % e)
        answer = self.reader.read(timeout + START_TIMEOUT)
        if answer is None:
            raise HarnessError("the driver gave no answer to %r%s" % (line.strip(), self.ending()))
        reply = json.loads(answer)
        if not reply["ok"]:
            raise DriverError("%s: %s" % (line.strip(), reply["error"]))
        return reply["value"]

    def ending(self):
        """Why a driver that gave no answer gave none: still running, or its exit code and the last
        of what it wrote to its errors (a driver that ended once in a full run left nothing else)."""
        try:
            code = self.process.wait(timeout=2)
        except subprocess.TimeoutExpired:
            return " (it is still running)"
        try:
            with open(self.errors_path, "rb") as errors:
                said = errors.read()[-800:].decode("utf-8", "replace").strip()
        except OSError:
            said = ""
        return " (it ended with exit code %d%s)" % (code, ": " + said if said else "")

    # Commands with a deadline in milliseconds get the same deadline here, plus slack.
    def wait_window(self, seconds=START_TIMEOUT):
        return self.call("wait-window", int(seconds * 1000), timeout=seconds)

    def wait_text(self, control, substring, seconds=20.0):
        return self.call("wait-text", control, substring, int(seconds * 1000), timeout=seconds)

    def wait_gone(self, seconds=STOP_TIMEOUT):
        return self.call("wait-gone", int(seconds * 1000), timeout=seconds)

    def text(self, control):
        return self.call("text", control)

    def visible(self, control):
        return self.call("visible", control)

    def enabled(self, control):
        return self.call("enabled", control)

    def rows(self, control):
        return self.call("rows", control)

    def cursel(self, control):
        return self.call("cursel", control)

    def rect(self, control):
        return self.call("rect", control)

    def stop(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write(b"quit\n")
                self.process.stdin.close()
                self.process.wait(STOP_TIMEOUT)
            except (OSError, subprocess.TimeoutExpired):
                pass
        stop_process(self.process)
        self.reader.close(self.process.stdout)
