"""The bytes the dev site generates and the tests write for a download: byte i is i % 251. A prime
period that divides no buffer or piece size, so a piece written at the wrong offset shows."""

PERIOD = 251
_BLOCK = bytes(range(PERIOD))


def pattern_byte(i):
    return i % PERIOD


def pattern(count, start=0):
    """count bytes of the pattern from position start."""
    offset = start % PERIOD
    return (_BLOCK * ((offset + count) // PERIOD + 1))[offset:offset + count]
