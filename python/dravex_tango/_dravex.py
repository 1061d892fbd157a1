"""Everything the server takes from the dravex package, in one place.

The rest of the server calls only these names: opening a controller by
address or hardware id, the decoded status, the one-sentence text of a
library error, and routing the library's trace lines into logging.
"""
import ctypes

import dravex
from dravex import DravexError, NotConnected
from dravex.errors import check

__all__ = ["DravexError", "NotConnected", "open_controller", "CachedValues", "decode_status",
           "describe_error", "route_trace_to_logging"]


def open_controller(address=None, hardware_id=None):
    """Opens the controller at a network address (no scan), or the one with
    that hardware id (found by a scan); returns the open dravex.Controller."""
    if address is not None:
        return dravex.Controller(address=address).open()
    return dravex.Controller(hardware_id=hardware_id).open()


class CachedValues:
    """Reads what the controller last reported for one axis: (position,
    packed status, reference position, reference valid, speed, step width).

    The cached getters send nothing; they are called through the library
    directly, with their outputs made once, because the monitor thread
    reads every watched axis many times a second (a few microseconds each
    instead of tens through Controller.call)."""

    _GETTERS = (("PositionerGetPosition", ctypes.c_int32), ("PositionerGetStatus", ctypes.c_int32),
                ("PositionerGetReference", ctypes.c_int32, ctypes.c_bool),
                ("PositionerGetSpeed", ctypes.c_int32), ("PositionerGetStepwidth", ctypes.c_int32))

    def __init__(self, controller, axis):
        library = dravex.load()
        self._handle, self._axis = controller.handle, axis
        self._outputs = []
        self._calls = []
        for name, *kinds in self._GETTERS:
            outputs = [kind() for kind in kinds]
            self._outputs += outputs
            self._calls.append((name, getattr(library, name), [ctypes.byref(o) for o in outputs]))

    def read(self):
        """The values; raises the library's error (NotConnected once the
        connection is lost)."""
        for name, function, outputs in self._calls:
            check(function(self._handle, self._axis, *outputs), name)
        return tuple(output.value for output in self._outputs)


def decode_status(packed):
    """The packed status as a dravex.Status (moving, target_reached,
    end_of_travel, approach_active)."""
    return dravex.Status(packed)


def describe_error(error):
    """The text of a library error: the call, the result and its meaning."""
    return str(error)


def route_trace_to_logging():
    """Sends the library's trace lines to logging.getLogger("dravex"):
    error lines as ERROR, trace lines as DEBUG. Call it before any
    controller is opened."""
    dravex.trace_to_logging()
