"""The C++ trace switch of a library, bound by the (Itanium ABI) mangled
names of traceInit. libtormak has no C-linkage trace functions; libdravex
is switched through its Positioner trace functions instead (tracing.py)."""
from __future__ import annotations

import ctypes
import os
from typing import Optional

from ._library import PathLike

_TRACE_INIT_FILE = "_Z9traceInitPKcS0_i"     # traceInit(const char*, const char*, int)
_TRACE_INIT_RECORD = "_Z9traceInitP11TraceParams"  # traceInit(TraceParams*)


def configure(library: ctypes.CDLL, on: bool, log_file: Optional[PathLike], flags: int,
              prefix: str) -> None:
    """on: trace to log_file (truncated; None: standard error) with the
    flags and the line prefix, re-reading the list files
    "tracewhitelist.txt" / "traceblacklist.txt" of the current directory;
    error lines are repeated on standard output. Not on: switch all output
    of that library off."""
    if on:
        init = getattr(library, _TRACE_INIT_FILE)
        init.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int]
        init.restype = None
        path = os.fsencode(log_file) if log_file else None
        init(path, os.fsencode(prefix), int(flags))
    else:
        init = getattr(library, _TRACE_INIT_RECORD)
        init.argtypes = [ctypes.c_void_p]
        init.restype = None
        init(None)
