"""The trace switch shared by both libraries. Each library has its own
trace configuration; the trace functions are C++ functions, bound here by
their (Itanium ABI) mangled names."""
import ctypes
import os

_TRACE_INIT_FILE = "_Z9traceInitPKcS0_i"     # traceInit(const char*, const char*, int)
_TRACE_INIT_RECORD = "_Z9traceInitP11TraceParams"  # traceInit(TraceParams*)

DEFAULT_FLAGS = 0x1FC  # trace lines and every telegram category


def configure(library, on=True, log_file=None, flags=DEFAULT_FLAGS, prefix=""):
    """on: trace to log_file (truncated; None: standard error) with the
    flags and the line prefix, re-reading the list files
    "tracewhitelist.txt" / "traceblacklist.txt" of the current directory.
    Not on: switch all output of that library off."""
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
