"""Child processes whose every read and stop has a deadline."""

import queue
import subprocess
import threading

STOP_TIMEOUT = 10.0


class LineReader:
    """Reads a pipe on a thread so that every read can have a deadline.

    A blocking readline() cannot be given one: a child that never writes and never ends holds it
    for ever, whatever deadline the loop around it checks between lines.
    """

    def __init__(self, pipe):
        self.lines = queue.Queue()
        self.thread = threading.Thread(target=self._pump, args=(pipe,), daemon=True)
        self.thread.start()

    def _pump(self, pipe):
        for line in iter(pipe.readline, b""):
            self.lines.put(line.decode("utf-8", "replace").rstrip("\r\n"))
        self.lines.put(None)

    def close(self, pipe):
        """Closes the pipe once the process behind it has ended and the reader has seen its end."""
        self.thread.join(STOP_TIMEOUT)
        pipe.close()

    def read(self, timeout):
        """The next line, or None at the pipe's end or when timeout seconds pass first."""
        try:
            return self.lines.get(timeout=timeout)
        except queue.Empty:
            return None


def stop_process(process, timeout=STOP_TIMEOUT):
    if process.poll() is not None:
        return process.returncode
    process.terminate()
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        return process.wait(timeout)
