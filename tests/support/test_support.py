#!/usr/bin/env python3
"""The support package: its readers of the product, its bounded start of a server and the driver
client's word on a driver that ended."""

import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from support import product  # noqa: E402
from support.devsite import SiteNotStarted, wait_for_banner  # noqa: E402
from support.driver import Driver  # noqa: E402
from support.errors import HarnessError  # noqa: E402
from support.processes import LineReader, stop_process  # noqa: E402


def written(text, suffix):
    handle, path = tempfile.mkstemp(suffix=suffix)
    with os.fdopen(handle, "w", encoding="utf-8") as f:
        f.write(text)
    return path


class Sentences(unittest.TestCase):
    def test_a_sentence_needs_exactly_its_placeholders(self):
        rows = [  # id, values, the sentence or None for a loud refusal
            ("choose_version", {}, "Choose a version."),
            ("check_failed", {"host": "localhost"},
             "This download didn't pass its check, so it wasn't run. Tell us at localhost/contact."),
            ("check_failed", {}, None),
            ("check_failed", {"host": "localhost", "code": 3}, None),
            ("choose_version", {"host": "localhost"}, None),
            ("no_such_text", {}, None),
        ]
        for text_id, values, expected in rows:
            with self.subTest(text_id=text_id, values=values):
                if expected is None:
                    self.assertRaises(product.UnknownText, product.sentence, text_id, **values)
                else:
                    self.assertEqual(product.sentence(text_id, **values), expected)

    def test_the_template_is_read_as_a_po_file(self):
        path = written('msgid ""\nmsgstr ""\n"Content-Type: text/plain\\n"\n\n#. a note\nmsgctxt "two_lines"\n'
                       'msgid ""\n"Say \\"it\\" "\n"twice\u2026"\nmsgstr ""\n\nmsgctxt "one"\nmsgid "{a} \\\\ b"\n'
                       'msgstr "translated"\n', ".pot")
        self.addCleanup(os.remove, path)
        self.assertEqual(product.english(path), {"two_lines": 'Say "it" twice\u2026', "one": "{a} \\ b"})


class ControlIds(unittest.TestCase):
    def test_only_the_control_enum_is_read(self):
        path = written("enum Other : int { id_stray = 7 };\nenum ControlId : int {\n    id_status_label = 101,\n"
                       "    id_open_product = 113,  // no control = 5\n};\nint id_after = 9;\n", ".h")
        self.addCleanup(os.remove, path)
        self.assertEqual(product.control_ids(path), {"id_status_label": 101, "id_open_product": 113})


class ReadinessWait(unittest.TestCase):
    def test_only_a_banner_in_time_starts_a_server_and_the_wait_ends_when_time_is_up(self):
        rows = [  # what the child does, the port or None for a refusal
            ("names its port", "print('devsite: serving https://localhost:4711', flush=True)", 4711),
            ("says nothing", "", None),
            ("says something else", "print('listening', flush=True)", None),
            ("ends at once", "raise SystemExit(3)", None),
            ("names no port", "print('devsite: serving https://localhost:', flush=True)", None),
        ]
        for what, script, port in rows:
            with self.subTest(what):
                child = subprocess.Popen([sys.executable, "-c", script + "\nimport time; time.sleep(30)"],
                                         stdout=subprocess.PIPE)
                reader = LineReader(child.stdout)
                try:
                    started = time.monotonic()
                    if port is None:
                        self.assertRaises(SiteNotStarted, wait_for_banner, reader, 1.0)
                    else:
                        self.assertEqual(wait_for_banner(reader, 10.0), port)
                    self.assertLess(time.monotonic() - started, 10.0, "the wait outlived its deadline")
                finally:
                    stop_process(child)
                    reader.close(child.stdout)


class DriverEnding(unittest.TestCase):
    def test_a_driver_that_ends_instead_of_answering_is_reported_with_its_code_and_errors(self):
        script = written("read line\necho 'wine: Unhandled page fault' >&2\nexit 3\n", ".sh")
        errors = written("", ".err")
        driver = Driver("/bin/sh", script, errors)
        try:
            with self.assertRaises(HarnessError) as raised:
                driver.call("wait-window", 1000, timeout=1.0)
            self.assertIn("exit code 3: wine: Unhandled page fault", str(raised.exception))
        finally:
            driver.stop()
            os.remove(script)
            os.remove(errors)


if __name__ == "__main__":
    unittest.main()
