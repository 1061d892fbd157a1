"""Python bindings (ctypes, standard library only) for the host libraries
of the six-axis piezo positioner controller.

    dravex            the Positioner API of libdravex: find_controllers(),
                      Controller, Axis, trace()
    dravex.tormak     the raw telegram channel of libtormak
    dravex.Telegram   the controller telegram (pack/unpack)
    dravex.errors     one exception per result code, all DravexError

The libraries are loaded on first use; see dravex.load() and
dravex.tormak.load() for the search order (DRAVEX_LIBRARY / TORMAK_LIBRARY
name them explicitly).
"""
from . import tormak
from ._library import LibraryNotFound
from .errors import (DeviceLocked, DravexError, DriverFailure, GeneralFailure, InvalidParameter,
                     NoDevice, NotConnected, OperatingSystemFailure, OutOfSync, ReplyTimeout)
from .positioner import (BACKWARD, FORWARD, Axis, Controller, ControllerInfo, find_controllers,
                         load, trace)
from .telegram import Telegram

__version__ = "1.0.0"
