"""The drive settings of an axis and the settings of a whole controller
that the devices offer as read/write attributes: one row per attribute.

getter: the querying getter that reads the value back from the controller,
or None where the library has none (the attribute then reads the value last
written through this device). Ranges are those the library checks.
channel: the trigger or quadrature channel of a controller setting that
has one (the library's first argument after the handle), else None.
"""
from __future__ import annotations

from typing import Dict, List, NamedTuple, Optional, Tuple, Type, Union

import tango

from ._dravex import setter_range

Value = Union[int, bool]
INT32_MIN, INT32_MAX = -2**31, 2**31 - 1


class Setting(NamedTuple):
    name: str
    kind: Type[Value]
    getter: Optional[str]
    setter: str
    minimum: Optional[int]
    maximum: Optional[int]
    label: str
    doc: str
    channel: Optional[int] = None


def _written(name: str, kind: Type[Value], setter: str, minimum: Optional[int],
             maximum: Optional[int], label: str, doc: str,
             channel: Optional[int] = None) -> Setting:
    """A setting the library cannot read back: it reads the value last written."""
    return Setting(name, kind, None, setter, minimum, maximum, label,
                   doc + " (last value written)", channel)


SETTINGS = (
    Setting("Amplitude", int, "PositionerGetAmplitude", "PositionerAmplitude",
            *setter_range("PositionerAmplitude"),
            "Amplitude", "Drive amplitude (controller units)"),
    Setting("Frequency", int, "PositionerGetFrequency", "PositionerFrequency",
            *setter_range("PositionerFrequency"),
            "Frequency", "Drive frequency (controller units)"),
    Setting("DcLevel", int, "PositionerGetDcLevel", "PositionerDCLevel", None, None,
            "DC level", "DC level (controller units)"),
    Setting("DcInEnable", bool, "PositionerGetDcInEnable", "PositionerDcInEnable", None, None,
            "DC input", "External DC input enabled"),
    Setting("AcInEnable", bool, "PositionerGetAcInEnable", "PositionerAcInEnable", None, None,
            "AC input", "External AC input enabled"),
    Setting("IntEnable", bool, "PositionerGetIntEnable", "PositionerIntEnable", None, None,
            "Internal drive", "Internal drive signal enabled"),
    Setting("BandwidthLimitEnable", bool, "PositionerGetBandwidthLimitEnable",
            "PositionerBandwidthLimitEnable", None, None, "Bandwidth limit",
            "Bandwidth limit enabled"),
    _written("Output", bool, "PositionerSetOutput", None, None, "Output",
             "Drive output on; the state is DISABLE while it is off (on at start)"),
    _written("AmplitudeControl", int, "PositionerAmplitudeControl",
             *setter_range("PositionerAmplitudeControl"), "Amplitude control",
             "Amplitude control mode"),
    _written("StepCount", int, "PositionerStepCount",
             *setter_range("PositionerStepCount"), "Step count",
             "Steps per single-step command"),
    _written("StopDetection", bool, "PositionerStopDetection", None, None, "Stop detection",
             "Stop detection enabled"),
    _written("StopDetectionSticky", bool, "PositionerSetStopDetectionSticky", None, None,
             "Sticky stop detection", "Stop detection sticky"),
    _written("TargetGround", bool, "PositionerSetTargetGround", None, None, "Ground at target",
             "Output grounded at the target"),
    _written("SingleCircleMode", bool, "PositionerSingleCircleMode", None, None,
             "Single circle mode", "Single circle mode"),
    _written("ExternalStepFwdInput", int, "PositionerExternalStepFwdInput",
             *setter_range("PositionerExternalStepFwdInput"),
             "External forward step input", "Input for external forward steps, 0..6"),
    _written("ExternalStepBkwInput", int, "PositionerExternalStepBkwInput",
             *setter_range("PositionerExternalStepBkwInput"),
             "External backward step input", "Input for external backward steps, 0..6"),
    _written("ExternalStepInputEdge", int, "PositionerExternalStepInputEdge",
             *setter_range("PositionerExternalStepInputEdge"),
             "External step input edge", "Edge of the external step inputs, 0 or 1"),
)

TRIGGERS, QUADRATURES = 6, 3


def _channel_settings() -> List[Setting]:
    """Trigger 0..5 and quadrature channel 0..2: one attribute per
    channel and setting (TriggerNLower and TriggerNUpper are sent together,
    by PositionerTrigger)."""
    rows = []
    for n in range(TRIGGERS):
        rows += [
            _written(f"Trigger{n}Polarity", int, "PositionerTriggerPolarity",
                     *setter_range("PositionerTriggerPolarity"),
                     f"Trigger {n} polarity", f"Polarity of trigger {n}, 0 or 1", n),
            _written(f"Trigger{n}Axis", int, "PositionerTriggerAxis",
                     *setter_range("PositionerTriggerAxis"),
                     f"Trigger {n} axis", f"Axis, 0..5, whose position trigger {n} watches", n),
            _written(f"Trigger{n}Epsilon", int, "PositionerTriggerEpsilon", None, None,
                     f"Trigger {n} tolerance",
                     f"Tolerance of trigger {n} (position units)", n),
            _written(f"Trigger{n}Lower", int, "PositionerTrigger", None, None,
                     f"Trigger {n} lower bound", f"Lower position bound of trigger {n}; "
                     f"sent with Trigger{n}Upper (its lowest value until written)", n),
            _written(f"Trigger{n}Upper", int, "PositionerTrigger", None, None,
                     f"Trigger {n} upper bound", f"Upper position bound of trigger {n}; "
                     f"sent with Trigger{n}Lower (its highest value until written)", n),
        ]
    for n in range(QUADRATURES):
        rows += [
            _written(f"Quadrature{n}Axis", int, "PositionerQuadratureAxis",
                     *setter_range("PositionerQuadratureAxis"),
                     f"Quadrature {n} axis", f"Axis, 0..5, of quadrature channel {n}", n),
            _written(f"Quadrature{n}InputPeriod", int, "PositionerQuadratureInputPeriod",
                     None, None, f"Quadrature {n} input period",
                     f"Input period of quadrature channel {n}", n),
            _written(f"Quadrature{n}OutputPeriod", int, "PositionerQuadratureOutputPeriod",
                     None, None, f"Quadrature {n} output period",
                     f"Output period of quadrature channel {n}", n),
        ]
    return rows


# The settings of a whole controller (PositionerController): the library
# has no getter for them.
CONTROLLER_SETTINGS = tuple([
    _written("StaticAmplitude", int, "PositionerStaticAmplitude",
             *setter_range("PositionerStaticAmplitude"), "Static amplitude",
             "Static amplitude of the whole controller"),
    _written("TriggerModeIn", int, "PositionerTriggerModeIn",
             *setter_range("PositionerTriggerModeIn"), "Trigger input mode",
             "Mode of the trigger input, 0..2"),
    _written("TriggerModeOut", int, "PositionerTriggerModeOut",
             *setter_range("PositionerTriggerModeOut"), "Trigger output mode",
             "Mode of the trigger output, 0..3"),
    _written("SensorPowerGroupA", bool, "PositionerSensorPowerGroupA", None, None,
             "Sensor power A", "Power of sensor group A"),
    _written("SensorPowerGroupB", bool, "PositionerSensorPowerGroupB", None, None,
             "Sensor power B", "Power of sensor group B"),
    _written("DutyCycleEnable", bool, "PositionerDutyCycleEnable", None, None, "Duty cycle",
             "Duty-cycle operation on"),
    _written("DutyCyclePeriod", int, "PositionerDutyCyclePeriod",
             *setter_range("PositionerDutyCyclePeriod"), "Duty-cycle period",
             "Period of duty-cycle operation, 0..65535"),
    _written("DutyCycleOffTime", int, "PositionerDutyCycleOffTime",
             *setter_range("PositionerDutyCycleOffTime"),
             "Duty-cycle off time", "Off time within a duty-cycle period, 0..65535"),
] + _channel_settings())

# Values the device assumes before anything was written.
INITIAL_VALUES: Dict[str, Value] = {"Output": True}

SETTINGS_BY_NAME = {setting.name: setting for setting in SETTINGS + CONTROLLER_SETTINGS}
_TANGO_TYPES = {int: tango.DevLong, bool: tango.DevBoolean}


def controller_call(setting: Setting, value: Value,
                    written: Dict[str, Value]) -> Tuple[str, Tuple[Value, ...]]:
    """(function, arguments after the handle) that send a controller
    setting; written holds the other values written, for the trigger bound
    sent together with this one."""
    if setting.setter == "PositionerTrigger":
        assert setting.channel is not None
        lower = written.get(f"Trigger{setting.channel}Lower", INT32_MIN)
        upper = written.get(f"Trigger{setting.channel}Upper", INT32_MAX)
        if setting.name.endswith("Lower"):
            lower = value
        else:
            upper = value
        return setting.setter, (setting.channel, lower, upper)
    if setting.channel is None:
        return setting.setter, (value,)
    return setting.setter, (setting.channel, value)


def controller_calls(written: Dict[str, Value]) -> List[Tuple[str, Tuple[Value, ...]]]:
    """The calls that send every written controller setting once (the two
    bounds of a trigger in one call)."""
    calls = [controller_call(SETTINGS_BY_NAME[name], value, written)
             for name, value in written.items()]
    return list(dict.fromkeys(calls))


def tango_attribute(setting: Setting) -> "tango.Attr":
    """The read/write Tango attribute of a setting, with its range, label,
    format and change threshold (every change of an integer setting);
    memorized, and written at start with the value Tango kept."""
    attr = tango.Attr(setting.name, _TANGO_TYPES[setting.kind], tango.AttrWriteType.READ_WRITE)
    attr.set_memorized()
    attr.set_memorized_init(True)
    attr.set_disp_level(tango.DispLevel.EXPERT)      # drive settings: for the expert
    properties = tango.UserDefaultAttrProp()
    properties.set_description(setting.doc)
    properties.set_label(setting.label)
    if setting.kind is int:
        properties.set_format("%d")
        properties.set_abs_change("1")
    if setting.minimum is not None:
        properties.set_min_value(str(setting.minimum))
        properties.set_max_value(str(setting.maximum))
    attr.set_default_properties(properties)
    return attr

