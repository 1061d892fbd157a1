# Written from src/positioner/register_map.h by src/positioner/make_copies.cpp;
# do not edit: build the target positioner_copies to write it again.
"""The ranges the library checks for the arguments of its setters: per
function one (lowest, highest) per argument after the handle, None where
it checks none."""
from typing import Dict, Optional, Tuple

Range = Optional[Tuple[int, int]]

AXIS = (0, 5)
ARGUMENTS: Dict[str, Tuple[Range, ...]] = {
    "PositionerSetOutput": ((0, 5), None),
    "PositionerResetPosition": ((0, 5),),
    "PositionerUpdateAbsolute": ((0, 5), None),
    "PositionerMoveReference": ((0, 5),),
    "PositionerStopDetection": ((0, 5), None),
    "PositionerSingleCircleMode": ((0, 5), None),
    "PositionerAmplitudeControl": ((0, 5), (0, 2)),
    "PositionerStopMoving": ((0, 5),),
    "PositionerStopApproach": ((0, 5),),
    "PositionerAmplitude": ((0, 5), (0, 140000)),
    "PositionerFrequency": ((0, 5), (0, 20000)),
    "PositionerDCLevel": ((0, 5), None),
    "PositionerDcInEnable": ((0, 5), None),
    "PositionerAcInEnable": ((0, 5), None),
    "PositionerIntEnable": ((0, 5), None),
    "PositionerExternalStepFwdInput": ((0, 5), (0, 6)),
    "PositionerExternalStepInputEdge": ((0, 5), (0, 1)),
    "PositionerExternalStepBkwInput": ((0, 5), (0, 6)),
    "PositionerBandwidthLimitEnable": ((0, 5), None),
    "PositionerSetStopDetectionSticky": ((0, 5), None),
    "PositionerClearStopDetection": ((0, 5),),
    "PositionerSetTargetGround": ((0, 5), None),
    "PositionerStepCount": ((0, 5), (1, 65535)),
    "PositionerStaticAmplitude": ((0, 2048),),
    "PositionerMoveAbsoluteSync": (None,),
    "PositionerTriggerPolarity": ((0, 5), (0, 1)),
    "PositionerTriggerAxis": ((0, 5), (0, 5)),
    "PositionerTriggerEpsilon": ((0, 5), None),
    "PositionerTriggerModeIn": ((0, 2),),
    "PositionerTriggerModeOut": ((0, 3),),
    "PositionerQuadratureAxis": ((0, 2), (0, 5)),
    "PositionerQuadratureInputPeriod": ((0, 2), None),
    "PositionerQuadratureOutputPeriod": ((0, 2), None),
    "PositionerSensorPowerGroupA": (None,),
    "PositionerSensorPowerGroupB": (None,),
    "PositionerDutyCycleEnable": (None,),
    "PositionerDutyCyclePeriod": ((0, 65535),),
    "PositionerDutyCycleOffTime": ((0, 65535),),
    "PositionerMoveAbsolute": ((0, 5), None, None),
    "PositionerSetTargetPos": ((0, 5), None, None),
    "PositionerMoveRelative": ((0, 5), None, None),
    "PositionerTrigger": ((0, 5), None, None),
}


def value_range(function: str) -> Range:
    """The range of a setter's last argument (the value it sends)."""
    return ARGUMENTS[function][-1]


def limits(function: str) -> Tuple[int, int]:
    """value_range of a setter whose value the library checks."""
    found = value_range(function)
    if found is None:
        raise ValueError(f"{function} checks no range for its value")
    return found


def text(function: str) -> str:
    """The checked value range of a setter as text: '0..140000'."""
    low, high = limits(function)
    return f"{low}..{high}"
