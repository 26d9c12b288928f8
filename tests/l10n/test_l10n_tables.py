"""The translation compiler stops the build on a faulty translation and names what is wrong."""

import os
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
COMPILER = os.path.join(SOURCE, "cmake", "l10n_tables.py")

TEMPLATE = '''msgid ""
msgstr ""

msgctxt "close"
msgid "Close"
msgstr ""

msgctxt "check_failed"
msgid "Tell us at {host}/contact."
msgstr ""
'''

GOOD = '''msgctxt "close"
msgid "Close"
msgstr "Schließen"

msgctxt "check_failed"
msgid "Tell us at {host}/contact."
msgstr "Schreiben Sie uns unter {host}/contact."
'''


def compile_with(german, template=TEMPLATE):
    with tempfile.TemporaryDirectory() as folder:
        for name, text in (("texts.pot", template), ("de.po", german), ("LINGUAS", "de\n")):
            with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
                f.write(text)
        out = os.path.join(folder, "tables.cpp")
        run = subprocess.run([sys.executable, COMPILER, os.path.join(folder, "texts.pot"),
                              os.path.join(folder, "LINGUAS"), folder, out, os.path.join(folder, "ids.h")],
                             capture_output=True, text=True, timeout=60)
        tables = ""
        if run.returncode == 0:
            for path in (out, os.path.join(folder, "ids.h")):
                with open(path, encoding="ascii") as f:
                    tables += f.read()
        return run.returncode, run.stderr, tables


class Compiler(unittest.TestCase):
    def test_faulty_translations_stop_the_build(self):
        cases = [
            ("a missing text", GOOD.split("\n\n")[0] + "\n", "misses check_failed"),
            ("a changed placeholder", GOOD.replace("unter {host}", "unter {site}"), "placeholders"),
            ("a lost placeholder", GOOD.replace("unter {host}/contact", "unter uns"), "placeholders"),
            ("a stale English original", GOOD.replace('msgid "Close"', 'msgid "Close it"'), "the English is now"),
            ("a fuzzy translation", GOOD.replace('msgctxt "close"', '#, fuzzy\nmsgctxt "close"'), "fuzzy"),
            ("an empty translation", GOOD.replace('"Schließen"', '""'), "no translation"),
            ("a text the Installer lacks", GOOD + '\nmsgctxt "gone"\nmsgid "Gone"\nmsgstr "Weg"\n', "not a text"),
        ]
        # A template that names a value no sentence carries would show the name itself.
        site = (TEMPLATE.replace("{host}", "{site}"), GOOD.replace("{host}", "{site}"))
        for what, german, reason, template in [c + (TEMPLATE,) for c in cases] + [
                ("a value no sentence carries", site[1], "which no sentence carries", site[0])]:
            with self.subTest(what):
                code, error, _ = compile_with(german, template)
                self.assertEqual(code, 1)
                self.assertIn(reason, error)

    def test_a_complete_translation_compiles_with_its_pseudo_locales(self):
        code, error, tables = compile_with(GOOD)
        self.assertEqual(code, 0, error)
        self.assertIn('L"Schlie\\u00dfen"', tables)
        # qps-ploc keeps the placeholder, accents the rest and brackets the whole.
        self.assertIn('{host}/\\u00e7\\u00f6\\u00f1\\u0163\\u00e5\\u00e7\\u0163.', tables)
        self.assertIn('{"qps-plocm", texts_qps_plocm}', tables)
        # Only a text without values gets a constant; the others are made from their values.
        self.assertIn("inline constexpr TextId close = TextId::close;", tables)
        self.assertNotIn("TextId check_failed =", tables)


if __name__ == "__main__":
    unittest.main()
