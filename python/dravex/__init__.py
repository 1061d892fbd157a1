"""Python interface (ctypes, standard library only) of the host libraries
for the six-axis piezo positioner controller.

    import dravex
    for info in dravex.find_controllers():
        print(info)
    with dravex.Controller(hardware_id=1000) as controller:
        x = controller.axis(0)
        x.move_to(5000)                 # stops the axis if the wait fails
        print(x.position, x.status)

    dravex.Controller, dravex.Axis   open a controller, move and read axes
    dravex.find_controllers()        one ControllerInfo per controller
    dravex.Status                    decoded, immutable axis status
    dravex.aio                       the same, for asyncio
    dravex.trace_to_logging()        library trace lines into logging
    dravex.tormak, dravex.Telegram   the raw telegram channel of libtormak
    dravex.errors                    one exception per result code, all DravexError;
                                     MotionError (MoveTimeout, EndOfTravel,
                                     MoveStopped) for moves
    controller.monitor               the latest report of every axis, and
                                     listeners of changes (dravex.monitor)

The libraries are loaded on first use; a wheel carries them inside the
package (see dravex._library for the search order; DRAVEX_LIBRARY and
TORMAK_LIBRARY name them explicitly).
"""
from __future__ import annotations

import ctypes
from typing import Optional

from . import tormak
from ._library import LibraryNotFound, PathLike
from ._motion import DEFAULT_MOVE_TIMEOUT, REPORT_SETTLE
from ._positioner_api import library as _positioner_library
from .axis import BACKWARD, FORWARD, Axis, AxisState
from .controller import AXES, Controller
from .discovery import ControllerInfo, find_controllers
from .errors import (ControllerNotFound, DeviceLocked, DravexError, DriverFailure, EndOfTravel,
                     GeneralFailure, InvalidParameter, MotionError, MoveStopped, MoveTimeout,
                     NoDevice,
                     NotConnected, OperatingSystemFailure, OutOfSync, ReplyTimeout,
                     SeveralControllers)
from .status import (STATUS_APPROACH_ACTIVE, STATUS_END_OF_TRAVEL, STATUS_MOVING,
                     STATUS_TARGET_REACHED, Status, StatusFlag)
from .telegram import Telegram
from .tracing import trace, trace_to_logging

__version__ = "1.0.0"


def load(path: Optional[PathLike] = None) -> ctypes.CDLL:
    """Loads libdravex (see dravex._library for the search order) and returns it."""
    return _positioner_library(path)


__all__ = [
    "AXES", "BACKWARD", "DEFAULT_MOVE_TIMEOUT", "FORWARD", "REPORT_SETTLE",
    "STATUS_APPROACH_ACTIVE", "STATUS_END_OF_TRAVEL", "STATUS_MOVING", "STATUS_TARGET_REACHED",
    "Axis", "AxisState", "Controller", "ControllerInfo", "ControllerNotFound", "DeviceLocked",
    "DravexError", "DriverFailure", "EndOfTravel", "GeneralFailure", "InvalidParameter",
    "LibraryNotFound", "MotionError", "MoveStopped", "MoveTimeout", "NoDevice", "NotConnected",
    "OperatingSystemFailure", "OutOfSync", "ReplyTimeout", "SeveralControllers", "Status",
    "StatusFlag", "Telegram", "find_controllers", "load", "tormak", "trace", "trace_to_logging",
]
