"""The product's own control ids and English sentences, read from its sources so that a test never
holds a copy that could drift from what the window shows.

Control ids come from the ControlId enum of app/ui_state.h. Sentences come from l10n/texts.pot, the
English the build's text tables are made from, read by the build's own reader: msgctxt is the
text's id, msgid its English with {placeholders}.
"""

import functools
import re
import sys

from support import paths

ENUM = re.compile(r"enum\s+ControlId\s*:\s*int\s*\{(.*?)\};", re.S)
ENUMERATOR = re.compile(r"\b(id_\w+)\s*=\s*([0-9]+)")
PLACEHOLDER = re.compile(r"\{([a-z_]+)\}")


class UnknownText(LookupError):
    """A test asked for a control or a sentence the product does not have, or filled it wrongly."""


@functools.lru_cache(maxsize=None)
def control_ids(header=paths.UI_STATE_H):
    """{"id_status_label": 101, ...} as the header declares them."""
    with open(header, encoding="utf-8") as f:
        found = ENUM.search(f.read())
    if found is None:
        raise UnknownText("no ControlId enum in %s" % header)
    return {name: int(value) for name, value in ENUMERATOR.findall(found.group(1))}


def control(name):
    """The id of one control, such as control("id_status_label")."""
    ids = control_ids()
    if name not in ids:
        raise UnknownText("app/ui_state.h has no control %r" % name)
    return ids[name]


# The translation compiler (cmake/l10n_tables.py): its read_po and pseudo are what the build uses.
if paths.BUILD_SCRIPTS not in sys.path:
    sys.path.append(paths.BUILD_SCRIPTS)
import l10n_tables  # noqa: E402


@functools.lru_cache(maxsize=None)
def english(catalog=paths.TEXTS_POT):
    """{text id: English with its {placeholders}} of the template."""
    return {context: msgid for context, msgid, _, _ in l10n_tables.read_po(catalog)}


def sentence(text_id, **values):
    """The English the window shows for text_id with its placeholders filled; every placeholder
    needs a value and every value a placeholder, so that a renamed one cannot pass unseen."""
    texts = english()
    if text_id not in texts:
        raise UnknownText("l10n/texts.pot has no text %r" % text_id)
    template = texts[text_id]
    wanted = set(PLACEHOLDER.findall(template))
    if wanted != set(values):
        raise UnknownText("%r takes %s, not %s" % (text_id, sorted(wanted), sorted(values)))
    return PLACEHOLDER.sub(lambda m: str(values[m.group(1)]), template)
