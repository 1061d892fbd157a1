"""Exceptions for the result codes of both libraries.

Every non-zero result code raises the exception of its code; all of them
derive from DravexError, which carries the code in .code. Codes without a
class of their own raise DravexError itself.
"""


class DravexError(Exception):
    """A call returned a non-zero result code (.code)."""

    code = None
    name = "unknown result"
    meaning = "unknown result code"

    def __init__(self, code=None, function=None, detail=None):
        if code is not None:
            self.code = code
        self.function = function
        text = f"{self.name} ({self.code}): {detail or self.meaning}"
        super().__init__(f"{function}: {text}" if function else text)


class GeneralFailure(DravexError):
    code, name = -1, "RC_ERROR"
    meaning = "the call failed (no free handle, handle not allocated, or no carrier chosen)"


class ReplyTimeout(DravexError, TimeoutError):
    code, name = 1, "RC_TIMEOUT"
    meaning = "nothing arrived within the time allowed; the call may be retried"


class NotConnected(DravexError, ConnectionError):
    code, name = 2, "RC_NOT_CONNECTED"
    meaning = "device or handle not connected, not opened, or gone"


class DriverFailure(DravexError):
    code, name = 3, "RC_DRIVER_ERROR"
    meaning = "the USB library or the driver's device list failed"


class InvalidParameter(DravexError, ValueError):
    code, name = 6, "RC_INVALID_PARAM"
    meaning = "an argument is out of range, a pointer is null, or a file cannot be opened"


class DeviceLocked(DravexError):
    code, name = 7, "RC_DEVICE_LOCKED"
    meaning = "the USB device is held by another opener"


class OperatingSystemFailure(DravexError):
    code, name = 8, "RC_SYSTEM_ERROR"
    meaning = "an operating-system call of a USB driver transport failed"


class NoDevice(DravexError):
    code, name = 9, "RC_NO_DEVICE"
    meaning = "device number outside the current device list"


class OutOfSync(DravexError):
    code, name = 10, "RC_OUT_OF_SYNC"
    meaning = "the byte stream lost telegram framing; it has been resynchronised"


_BY_CODE = {cls.code: cls for cls in (GeneralFailure, ReplyTimeout, NotConnected, DriverFailure,
                                      InvalidParameter, DeviceLocked, OperatingSystemFailure,
                                      NoDevice, OutOfSync)}


def error_for(code, function=None, detail=None):
    """The exception object for a result code."""
    cls = _BY_CODE.get(code)
    if cls is None:
        return DravexError(code, function, detail)
    return cls(function=function, detail=detail)


def check(code, function):
    """Raises the exception of a non-zero result code."""
    if code != 0:
        raise error_for(code, function)
