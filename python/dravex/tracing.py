"""The trace output of the libraries: to a file, to standard error, off,
or into the logging module.

    import logging, dravex
    logging.basicConfig(level=logging.DEBUG)
    dravex.trace_to_logging()   # library lines -> logging.getLogger("dravex")

Settings made here survive later scans (find_controllers()). The trace
configuration is shared by every thread of the process: change it while no
controller is open (the receive threads of open controllers write lines).
"""
from __future__ import annotations

import atexit
import logging
from typing import Callable, Dict, Optional, Union

from . import _positioner_api as api
from . import _tracing
from ._library import PathLike, load_library
from ._trace_pipe import TracePipe

TRACE_FLUSH = 0x002          # write every line through at once
TRACE_MESSAGES = 0x004       # trace lines (error and fatal lines are always written)
TRACE_TELEGRAMS = 0x1F8      # telegram lines of every category, TELLs included
DEFAULT_FLAGS = TRACE_MESSAGES | TRACE_TELEGRAMS

_pipes: Dict[str, TracePipe] = {}  # library name -> the pipe its lines go into
_REPORT_KINDS = ("ERROR:", "FATAL:")
_Opener = Callable[[str], object]  # makes the library open the pipe of a path


def level_of(line: str) -> int:
    """ERROR for the libraries' error and fatal lines, DEBUG for the rest."""
    return logging.ERROR if line.startswith(_REPORT_KINDS) else logging.DEBUG


def trace(on: bool = True, log_file: Optional[PathLike] = None, flags: int = DEFAULT_FLAGS,
          prefix: str = "") -> None:
    """Switches the trace output of libdravex: on, to log_file (None:
    standard error) with the flags and the line prefix; or off."""
    _end_route("dravex")
    if not on:
        api.call("PositionerTraceOff")
        return
    api.call("PositionerTracePrefix", prefix)
    api.call("PositionerTraceFlags", flags)
    if log_file is None:
        api.call("PositionerTraceToStderr")
    else:
        api.call("PositionerTraceToFile", log_file)


def trace_to_logging(logger: Union[str, logging.Logger] = "dravex", flags: int = TRACE_MESSAGES,
                     tormak: bool = False) -> None:
    """Routes the trace lines of libdravex into a logger (by default
    logging.getLogger("dravex")): error and fatal lines as ERROR, trace and
    telegram lines as DEBUG. flags choose the lines as for trace() (default:
    trace lines without telegrams).

    tormak: also route the lines of libtormak, to the child logger "tormak"
    of that logger (its error lines are also repeated on standard output;
    libtormak has no switch for that)."""
    target = logging.getLogger(logger) if isinstance(logger, str) else logger
    _end_route("dravex")
    api.call("PositionerTracePrefix", "")
    api.call("PositionerTraceFlags", flags | TRACE_FLUSH)
    _open_route("dravex", target, lambda path: api.call("PositionerTraceToFile", path))
    if tormak:
        library = load_library("tormak")
        _end_route("tormak")
        _open_route("tormak", target.getChild("tormak"),
                    lambda path: _tracing.configure(library, True, path, flags | TRACE_FLUSH, ""))


def _open_route(name: str, target: logging.Logger, open_in_library: _Opener) -> None:
    def emit(line: str) -> None:
        target.log(level_of(line), "%s", line)

    pipe = TracePipe(emit)
    try:
        open_in_library(pipe.path)
    except BaseException:
        pipe.abandon()
        raise
    pipe.opened()
    _pipes[name] = pipe


def _end_route(name: str) -> Optional[TracePipe]:
    """Forgets the pipe of a library; its reader ends once the library
    closes it (switching the output elsewhere does)."""
    return _pipes.pop(name, None)


def _switch_off_at_exit() -> None:
    # Nobody reads the pipes once the interpreter ends: lines written then
    # must not fill them and block the library.
    if _pipes.pop("dravex", None) is not None:
        api.call("PositionerTraceOff")
    if _pipes.pop("tormak", None) is not None:
        _tracing.configure(load_library("tormak"), False, None, 0, "")


atexit.register(_switch_off_at_exit)
