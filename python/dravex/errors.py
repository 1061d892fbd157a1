"""Exceptions for the result codes of both libraries, and for moves.

Every non-zero result code raises the exception of its code; all of them
derive from DravexError, which carries the code in .code. Codes without a
class of their own raise DravexError itself. A move that does not end at
its target raises a MotionError (MoveTimeout, EndOfTravel, MoveStopped),
after the axis has been stopped.
"""
from __future__ import annotations

from typing import TYPE_CHECKING, Dict, Optional, Type

if TYPE_CHECKING:
    from .status import Status


class DravexError(Exception):
    """A call returned a non-zero result code (.code). Its text is the
    library's sentence for the code (PositionerResultText): what failed and
    what to do."""

    code: Optional[int] = None
    name = "unknown result"

    def __init__(self, code: Optional[int] = None, function: Optional[str] = None,
                 detail: Optional[str] = None) -> None:
        if code is not None:
            self.code = code
        self.function = function
        text = f"{self.name} ({self.code}): {detail or result_text(self.code)}"
        super().__init__(f"{function}: {text}" if function else text)

    @property
    def meaning(self) -> str:
        """The library's sentence for the code."""
        return result_text(self.code)


def result_text(code: Optional[int]) -> str:
    """What failed and what to do, for a result code: the sentence of
    libdravex (PositionerResultText); a plain one where the library cannot
    be loaded."""
    if code is None:
        return "the call failed"
    try:
        from ._positioner_api import result_text as library_text
        return library_text(code)
    except Exception:  # the library is missing or broken: still say something
        return f"result code {code}"


class GeneralFailure(DravexError):
    code, name = -1, "RC_ERROR"


class ReplyTimeout(DravexError, TimeoutError):
    code, name = 1, "RC_TIMEOUT"


class NotConnected(DravexError, ConnectionError):
    code, name = 2, "RC_NOT_CONNECTED"


class DriverFailure(DravexError):
    code, name = 3, "RC_DRIVER_ERROR"


class InvalidParameter(DravexError, ValueError):
    code, name = 6, "RC_INVALID_PARAM"


class DeviceLocked(DravexError):
    code, name = 7, "RC_DEVICE_LOCKED"


class OperatingSystemFailure(DravexError):
    code, name = 8, "RC_SYSTEM_ERROR"


class NoDevice(DravexError):
    code, name = 9, "RC_NO_DEVICE"


class OutOfSync(DravexError):
    code, name = 10, "RC_OUT_OF_SYNC"


class MotionError(DravexError):
    """A move did not end at its target; the axis has been stopped.

    .axis, .target and .position are in the axis's unit (see Axis), .status
    is the last Status the controller reported."""

    name = "move failed"

    def __init__(self, sentence: str, axis: int, target: float, position: float,
                 status: "Status") -> None:
        self.axis, self.target, self.position, self.status = axis, target, position, status
        Exception.__init__(self, sentence)
        self.function = None


class MoveTimeout(MotionError, TimeoutError):
    """The axis did not reach its target within the time allowed."""

    name = "move timed out"


class EndOfTravel(MotionError):
    """The controller reported the end of travel before the target."""

    name = "end of travel"


class MoveStopped(MotionError):
    """The axis came to rest before its target without reaching it: someone
    else stopped it (another thread, program or the controller)."""

    name = "move stopped"


_BY_CODE: Dict[int, Type[DravexError]] = {
    cls.code: cls for cls in (GeneralFailure, ReplyTimeout, NotConnected, DriverFailure,
                              InvalidParameter, DeviceLocked, OperatingSystemFailure, NoDevice,
                              OutOfSync)
    if cls.code is not None}


def error_for(code: int, function: Optional[str] = None,
              detail: Optional[str] = None) -> DravexError:
    """The exception object for a result code."""
    cls = _BY_CODE.get(code)
    if cls is None:
        return DravexError(code, function, detail)
    return cls(function=function, detail=detail)


def check(code: int, function: str) -> None:
    """Raises the exception of a non-zero result code."""
    if code != 0:
        raise error_for(code, function)


class ControllerNotFound(DravexError, LookupError):
    """No controller, or none that matches the hardware id, was found."""

    name = "controller not found"

    def __init__(self, sentence: str) -> None:
        Exception.__init__(self, sentence)
        self.function = None


class SeveralControllers(DravexError, LookupError):
    """Several controllers were found and none was named."""

    name = "several controllers"

    def __init__(self, sentence: str) -> None:
        Exception.__init__(self, sentence)
        self.function = None
