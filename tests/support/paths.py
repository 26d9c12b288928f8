"""Where the source tree keeps what the tests read."""

import os

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEVSITE = os.path.join(SOURCE, "devsite")
CATALOGS = os.path.join(DEVSITE, "catalogs")
UI_STATE_H = os.path.join(SOURCE, "app", "ui_state.h")
L10N = os.path.join(SOURCE, "l10n")
TEXTS_POT = os.path.join(L10N, "texts.pot")
BUILD_SCRIPTS = os.path.join(SOURCE, "cmake")  # the build's Python helpers, l10n_tables.py among them
