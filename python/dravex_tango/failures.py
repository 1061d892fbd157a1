"""The one way the devices refuse a request: a DevFailed with a reason
and one sentence that says what failed and what to do."""
from __future__ import annotations

from typing import NoReturn

import tango


def fail(reason: str, message: str, origin: str) -> NoReturn:
    """Raises tango.DevFailed(reason, message, origin)."""
    tango.Except.throw_exception(reason, message, origin)
    raise AssertionError("tango.Except.throw_exception returned")   # it raises


def sentence(error: Exception) -> str:
    """The text of an error as a sentence of its own: capitalised, with a
    full stop."""
    text = str(error).rstrip(".")
    return text[:1].upper() + text[1:] + "."
