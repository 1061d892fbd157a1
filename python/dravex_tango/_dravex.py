"""Everything the server takes from the dravex package, in one place.

The rest of the server calls only these names: opening a controller by
address or hardware id, the decoded status flags, the one-sentence text of
a library error, and routing the library's trace lines into logging.
"""
import ctypes
import inspect
import logging

import dravex
from dravex import DravexError, NotConnected
from dravex.errors import check

__all__ = ["DravexError", "NotConnected", "open_controller", "StatusFlags", "decode_status",
           "describe_error", "route_trace_to_logging"]

# Bits of the packed status (PositionerGetStatus).
_MOVING, _TARGET_REACHED, _END_OF_TRAVEL, _APPROACH_ACTIVE = 0x1, 0x2, 0x4, 0x8


class StatusFlags:
    """The packed status of one axis, decoded."""
    __slots__ = ("packed", "moving", "target_reached", "end_of_travel", "approach_active")

    def __init__(self, packed):
        self.packed = packed
        self.moving = bool(packed & _MOVING)
        self.target_reached = bool(packed & _TARGET_REACHED)
        self.end_of_travel = bool(packed & _END_OF_TRAVEL)
        self.approach_active = bool(packed & _APPROACH_ACTIVE)


def decode_status(packed):
    return StatusFlags(packed)


def open_controller(address=None, hardware_id=None):
    """Opens the controller at a network address, or the one with that
    hardware id (found by a scan), and returns the open dravex.Controller."""
    if "address" in inspect.signature(dravex.Controller).parameters:
        if address is not None:
            return dravex.Controller(address=address).open()
        return dravex.Controller(hardware_id=hardware_id).open()
    return _open_without_addressing(address, hardware_id)


def _open_without_addressing(address, hardware_id):
    # A dravex package without Controller(address=...) / (hardware_id=...).
    if address is None:
        devices = [info.device for info in dravex.find_controllers()
                   if info.available and info.hardware_id == hardware_id]
        if not devices:
            raise dravex.NoDevice(function="find_controllers",
                                  detail=f"no controller with hardware id {hardware_id} found")
        return dravex.Controller(devices[0]).open()
    connect = dravex.load().PositionerConnectAddress
    connect.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_int32)]
    connect.restype = ctypes.c_int32
    handle = ctypes.c_int32(-1)
    check(connect(address.encode(), ctypes.byref(handle)), "PositionerConnectAddress")
    controller = dravex.Controller()
    controller._handle = handle.value
    return controller


def describe_error(error):
    """One sentence for a library error."""
    return str(error)


def route_trace_to_logging(logger_name="dravex"):
    """Sends the library's trace lines to the logger (errors as ERROR)."""
    route = getattr(dravex, "log_to_logging", None)
    if route is not None:
        route(logging.getLogger(logger_name))
