"""The bytes the dev site generates for a download (/bytes/N), and the tests write and expect in
theirs: byte i is i % PERIOD, a prime that divides no buffer or piece size, so a piece written at
the wrong offset shows. The period is the site's own."""

import sys

from support import paths

sys.path.insert(0, paths.DEVSITE)
from faults import PERIOD  # noqa: E402

_BLOCK = bytes(range(PERIOD))


def pattern(count):
    """The first count bytes of the pattern."""
    return (_BLOCK * (count // PERIOD + 1))[:count]
