"""The Positioner functions of libdravex: one table of signatures (see
_binding for the letters), the DetectedDevice record, and the binding."""
import ctypes

from . import _binding
from ._library import load_library


class DetectedDevice(ctypes.Structure):
    """One element of the array that PositionerCheck returns (8 bytes)."""
    _fields_ = [
        ("hardwareId", ctypes.c_int32),
        ("unavailable", ctypes.c_bool),
        ("reserved", ctypes.c_uint8 * 3),
    ]


assert ctypes.sizeof(DetectedDevice) == 8, "DetectedDevice must be 8 bytes"

# Every exported Positioner function with its C arguments, handle first.
# PositionerCheck ('D': DetectedDevice**) returns a count, not a result code,
# and is bound separately.
SIGNATURES = {
    # Lifecycle
    "PositionerConnect": "iI",
    "PositionerClose": "i",
    "PositionerSetHardwareId": "ii",
    "PositionerLoad": "iis",
    # Setters of one axis
    "PositionerSetOutput": "iib",
    "PositionerResetPosition": "ii",
    "PositionerUpdateAbsolute": "iii",
    "PositionerMoveReference": "ii",
    "PositionerStopDetection": "iib",
    "PositionerSingleCircleMode": "iib",
    "PositionerAmplitudeControl": "iii",
    "PositionerStopMoving": "ii",
    "PositionerStopApproach": "ii",
    "PositionerAmplitude": "iii",
    "PositionerFrequency": "iii",
    "PositionerDCLevel": "iii",
    "PositionerDcInEnable": "iib",
    "PositionerAcInEnable": "iib",
    "PositionerIntEnable": "iib",
    "PositionerExternalStepFwdInput": "iii",
    "PositionerExternalStepInputEdge": "iii",
    "PositionerExternalStepBkwInput": "iii",
    "PositionerBandwidthLimitEnable": "iib",
    "PositionerSetStopDetectionSticky": "iib",
    "PositionerClearStopDetection": "ii",
    "PositionerSetTargetGround": "iib",
    "PositionerStepCount": "iii",
    # Setters with another index
    "PositionerStaticAmplitude": "ii",
    "PositionerMoveAbsoluteSync": "ii",
    "PositionerTriggerPolarity": "iii",
    "PositionerTriggerAxis": "iii",
    "PositionerTriggerEpsilon": "iii",
    "PositionerTriggerModeIn": "ii",
    "PositionerTriggerModeOut": "ii",
    "PositionerQuadratureAxis": "iii",
    "PositionerQuadratureInputPeriod": "iii",
    "PositionerQuadratureOutputPeriod": "iii",
    "PositionerSensorPowerGroupA": "ib",
    "PositionerSensorPowerGroupB": "ib",
    "PositionerDutyCycleEnable": "ib",
    "PositionerDutyCyclePeriod": "ii",
    "PositionerDutyCycleOffTime": "ii",
    # Setters that send several telegrams
    "PositionerMoveAbsolute": "iiii",
    "PositionerSetTargetPos": "iiii",
    "PositionerMoveRelative": "iiii",
    "PositionerMoveSingleStep": "iii",
    "PositionerMoveContinuous": "iii",
    "PositionerTrigger": "iiii",
    # Cached getters
    "PositionerGetStatus": "iiI",
    "PositionerGetPosition": "iiI",
    "PositionerGetRotCount": "iiI",
    "PositionerGetReference": "iiIB",
    "PositionerGetReferenceRotCount": "iiI",
    "PositionerGetSpeed": "iiI",
    "PositionerGetStepwidth": "iiI",
    # Querying getters
    "PositionerGetAmplitude": "iiI",
    "PositionerGetFrequency": "iiI",
    "PositionerGetDcLevel": "iiI",
    "PositionerGetDcInEnable": "iiB",
    "PositionerGetAcInEnable": "iiB",
    "PositionerGetIntEnable": "iiB",
    "PositionerGetBandwidthLimitEnable": "iiB",
    "PositionerCapMeasure": "iiI",
}
CHECK_SIGNATURE = "D"


def library(path=None):
    """libdravex with every Positioner function bound."""
    lib = load_library("dravex", path, stdcall=True)
    if not getattr(lib, "_dravex_bound", False):
        _binding.bind(lib, SIGNATURES)
        lib.PositionerCheck.argtypes = [ctypes.POINTER(ctypes.POINTER(DetectedDevice))]
        lib.PositionerCheck.restype = ctypes.c_int32
        lib._dravex_bound = True
    return lib


def call(name, *inputs):
    """Calls a Positioner function (not PositionerCheck) by name."""
    return _binding.call(library(), SIGNATURES, name, *inputs)


def check_devices():
    """PositionerCheck, copied out of the library-owned array:
    a list of (hardwareId, unavailable) pairs, one per device number."""
    devices = ctypes.POINTER(DetectedDevice)()
    count = library().PositionerCheck(ctypes.byref(devices))
    if count <= 0 or not devices:
        return []
    return [(devices[i].hardwareId, bool(devices[i].unavailable)) for i in range(count)]
