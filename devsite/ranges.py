"""A download's validators (ETag, Last-Modified) and what a Range with an optional If-Range asks of
them, so that a client can resume a download that was cut."""

import email.utils
import os
import re

# One range, "bytes=first-" or "bytes=first-last". Suffix ranges and lists of ranges are not
# served: such a request gets the whole file, which a server may always answer.
ONE_RANGE = re.compile(r"bytes=([0-9]{1,20})-([0-9]{0,20})")
UNSATISFIABLE = "unsatisfiable"


def validators(path, changed=False):
    """The file's strong ETag and Last-Modified date; with changed, those of a newer file."""
    status = os.stat(path)
    tag = "%x-%x" % (status.st_size, status.st_mtime_ns)
    seconds = int(status.st_mtime)
    if changed:
        tag, seconds = tag + "-changed", seconds + 1
    return '"%s"' % tag, email.utils.formatdate(seconds, usegmt=True)


def same_date(text, http_date):
    try:
        return email.utils.parsedate_to_datetime(text) == email.utils.parsedate_to_datetime(http_date)
    except (TypeError, ValueError):
        return False


def if_range_holds(value, etag, last_modified):
    """Whether a range may be served: no If-Range, or one naming the file as it is now. A weak tag
    never matches."""
    if value is None:
        return True
    value = value.strip()
    if value.startswith(('"', "W/")):
        return value == etag
    return same_date(value, last_modified)


def requested_span(value, size):
    """(first, last) byte of the file a Range header asks for; None for the whole file;
    UNSATISFIABLE when it starts at or past the end."""
    match = ONE_RANGE.fullmatch((value or "").strip())
    if match is None:
        return None
    first = int(match[1])
    if match[2] and int(match[2]) < first:
        return None  # not a valid range: ignored
    if first >= size:
        return UNSATISFIABLE
    return first, min(int(match[2]) if match[2] else size - 1, size - 1)
