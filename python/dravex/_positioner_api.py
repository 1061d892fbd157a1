"""The Positioner functions of libdravex: one table of signatures (see
_binding for the letters), the DetectedDevice and PositionerDeviceDescription
records, and the binding."""
from __future__ import annotations

import ctypes
from typing import Any, List, Optional, Tuple

from . import _binding
from ._library import PathLike, load_library
from ._positioner_functions import ADDED, ORIGINAL
from .errors import check


class DetectedDevice(ctypes.Structure):
    """One element of the array that PositionerCheck returns (8 bytes)."""
    _fields_ = [
        ("hardwareId", ctypes.c_int32),
        ("unavailable", ctypes.c_bool),
        ("reserved", ctypes.c_uint8 * 3),
    ]


assert ctypes.sizeof(DetectedDevice) == 8, "DetectedDevice must be 8 bytes"

ADDRESS_SIZE = 116


class DeviceDescription(ctypes.Structure):
    """PositionerDeviceDescription: what PositionerDeviceInfo tells about a
    device number of the last scan (128 bytes)."""
    _fields_ = [
        ("carrier", ctypes.c_int32),
        ("discovery", ctypes.c_int32),
        ("hardwareId", ctypes.c_int32),
        ("address", ctypes.c_char * ADDRESS_SIZE),
    ]


assert ctypes.sizeof(DeviceDescription) == 128, "PositionerDeviceDescription must be 128 bytes"

# The tables come from the register map (_positioner_functions, a written
# copy). Four functions take other arguments or return something other than
# a result code, and are bound separately: PositionerCheck ('D':
# DetectedDevice**) returns a count; PositionerDeviceInfo ('R':
# PositionerDeviceDescription*); PositionerWaitReport (an in-out sequence
# number, and results that are not failures); PositionerResultText (text).
_BOUND_SEPARATELY = ("PositionerCheck", "PositionerDeviceInfo", "PositionerWaitReport",
                     "PositionerResultText")
_ALL_FUNCTIONS = {**ORIGINAL, **ADDED}
CHECK_SIGNATURE, DEVICE_INFO_SIGNATURE, WAIT_REPORT_SIGNATURE, RESULT_TEXT_SIGNATURE = (
    _ALL_FUNCTIONS[name] for name in _BOUND_SEPARATELY)
# The 64 of the Positioner family, and the functions beside them
# (addressing, C-linkage trace control and halting), bound from the table.
SIGNATURES = {name: letters for name, letters in ORIGINAL.items() if name not in _BOUND_SEPARATELY}
ADDITIONAL_SIGNATURES = {name: letters for name, letters in ADDED.items()
                         if name not in _BOUND_SEPARATELY}
_ALL_SIGNATURES = {**SIGNATURES, **ADDITIONAL_SIGNATURES}


def library(path: Optional[PathLike] = None) -> ctypes.CDLL:
    """libdravex with every Positioner function bound."""
    lib = load_library("dravex", path)
    if not getattr(lib, "_dravex_bound", False):
        _binding.bind(lib, _ALL_SIGNATURES)
        lib.PositionerCheck.argtypes = [ctypes.POINTER(ctypes.POINTER(DetectedDevice))]
        lib.PositionerCheck.restype = ctypes.c_int32
        lib.PositionerDeviceInfo.argtypes = [ctypes.c_int32, ctypes.POINTER(DeviceDescription)]
        lib.PositionerDeviceInfo.restype = ctypes.c_int32
        lib.PositionerWaitReport.argtypes = [ctypes.c_int32, ctypes.POINTER(ctypes.c_uint32),
                                             ctypes.c_int32, ctypes.POINTER(ctypes.c_int32)]
        lib.PositionerWaitReport.restype = ctypes.c_int32
        lib.PositionerResultText.argtypes = [ctypes.c_int32]
        lib.PositionerResultText.restype = ctypes.c_char_p
        setattr(lib, "_dravex_bound", True)
    return lib


def call(name: str, *inputs: Any) -> Any:
    """Calls a Positioner function (not PositionerCheck or
    PositionerDeviceInfo) by name."""
    return _binding.call(library(), _ALL_SIGNATURES, name, *inputs)


def check_devices() -> List[Tuple[int, bool]]:
    """PositionerCheck, copied out of the library-owned array:
    a list of (hardwareId, unavailable) pairs, one per device number."""
    devices = ctypes.POINTER(DetectedDevice)()
    count = library().PositionerCheck(ctypes.byref(devices))
    if count <= 0 or not devices:
        return []
    return [(devices[i].hardwareId, bool(devices[i].unavailable)) for i in range(count)]


def wait_report(handle: int, sequence: int, timeout_ms: int) -> Tuple[int, int, int]:
    """PositionerWaitReport: (result, newest sequence number, bit per changed
    axis). Results 0 (changed), 1 (time-out) and 2 (not connected) are
    returned, not raised; the GIL is released while it waits."""
    cursor = ctypes.c_uint32(sequence & 0xFFFFFFFF)
    axes = ctypes.c_int32(0)
    result = library().PositionerWaitReport(handle, ctypes.byref(cursor), timeout_ms,
                                             ctypes.byref(axes))
    if result not in (0, 1, 2):
        check(result, "PositionerWaitReport")
    return result, cursor.value, axes.value


def result_text(code: int) -> str:
    """PositionerResultText: what failed and what to do, as one sentence."""
    text: bytes = library().PositionerResultText(code)
    return text.decode("utf-8", "replace")


def device_info(device: int) -> DeviceDescription:
    """PositionerDeviceInfo of a device number of the last scan."""
    info = DeviceDescription()
    check(library().PositionerDeviceInfo(device, ctypes.byref(info)), "PositionerDeviceInfo")
    return info
