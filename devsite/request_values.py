"""Reading a request's numbers, and what may go into an answer's header as it stands."""


def decimal(text, low, high):
    """The value of a plain run of ASCII digits within [low, high]; None for anything else."""
    if not (0 < len(text) <= 20 and text.isascii() and text.isdigit()):
        return None
    value = int(text)
    return value if low <= value <= high else None


def header_safe(text):
    """Whether text can go into a response header as it is: a CR or LF would split the header."""
    return not any(ord(c) < 0x20 or ord(c) == 0x7F for c in text)
