"""The drive settings of an axis that the device offers as read/write
attributes: one row per attribute.

getter: the querying getter that reads the value back from the controller,
or None where the library has none (the attribute then reads the value last
written through this device). Ranges are those the library checks.
"""
import collections

import tango

from ._dravex import setter_range

Setting = collections.namedtuple("Setting", "name kind getter setter minimum maximum doc")

SETTINGS = (
    Setting("Amplitude", int, "PositionerGetAmplitude", "PositionerAmplitude",
            *setter_range("PositionerAmplitude"),
            "Drive amplitude (controller units)"),
    Setting("Frequency", int, "PositionerGetFrequency", "PositionerFrequency",
            *setter_range("PositionerFrequency"),
            "Drive frequency (controller units)"),
    Setting("DcLevel", int, "PositionerGetDcLevel", "PositionerDCLevel", None, None,
            "DC level (controller units)"),
    Setting("DcInEnable", bool, "PositionerGetDcInEnable", "PositionerDcInEnable", None, None,
            "External DC input enabled"),
    Setting("AcInEnable", bool, "PositionerGetAcInEnable", "PositionerAcInEnable", None, None,
            "External AC input enabled"),
    Setting("IntEnable", bool, "PositionerGetIntEnable", "PositionerIntEnable", None, None,
            "Internal drive signal enabled"),
    Setting("BandwidthLimitEnable", bool, "PositionerGetBandwidthLimitEnable",
            "PositionerBandwidthLimitEnable", None, None, "Bandwidth limit enabled"),
    Setting("Output", bool, None, "PositionerSetOutput", None, None,
            "Drive output on; the state is DISABLE while it is off (last value written, "
            "on at start)"),
    Setting("AmplitudeControl", int, None, "PositionerAmplitudeControl",
            *setter_range("PositionerAmplitudeControl"),
            "Amplitude control mode (last value written)"),
    Setting("StepCount", int, None, "PositionerStepCount", *setter_range("PositionerStepCount"),
            "Steps per single-step command (last value written)"),
    Setting("StopDetection", bool, None, "PositionerStopDetection", None, None,
            "Stop detection enabled (last value written)"),
    Setting("StopDetectionSticky", bool, None, "PositionerSetStopDetectionSticky", None, None,
            "Stop detection sticky (last value written)"),
    Setting("TargetGround", bool, None, "PositionerSetTargetGround", None, None,
            "Output grounded at the target (last value written)"),
    Setting("SingleCircleMode", bool, None, "PositionerSingleCircleMode", None, None,
            "Single circle mode (last value written)"),
    Setting("ExternalStepFwdInput", int, None, "PositionerExternalStepFwdInput",
            *setter_range("PositionerExternalStepFwdInput"),
            "Input for external forward steps, 0..6 (last value written)"),
    Setting("ExternalStepBkwInput", int, None, "PositionerExternalStepBkwInput",
            *setter_range("PositionerExternalStepBkwInput"),
            "Input for external backward steps, 0..6 (last value written)"),
    Setting("ExternalStepInputEdge", int, None, "PositionerExternalStepInputEdge",
            *setter_range("PositionerExternalStepInputEdge"),
            "Edge of the external step inputs, 0 or 1 (last value written)"),
)

# The settings of a whole controller (PositionerController): the library
# has no getter for them; they read the value last written.
CONTROLLER_SETTINGS = (
    Setting("StaticAmplitude", int, None, "PositionerStaticAmplitude",
            *setter_range("PositionerStaticAmplitude"),
            "Static amplitude of the whole controller (last value written)"),
    Setting("TriggerModeIn", int, None, "PositionerTriggerModeIn",
            *setter_range("PositionerTriggerModeIn"),
            "Mode of the trigger input, 0..2 (last value written)"),
    Setting("TriggerModeOut", int, None, "PositionerTriggerModeOut",
            *setter_range("PositionerTriggerModeOut"),
            "Mode of the trigger output, 0..3 (last value written)"),
    Setting("SensorPowerGroupA", bool, None, "PositionerSensorPowerGroupA", None, None,
            "Power of sensor group A (last value written)"),
    Setting("SensorPowerGroupB", bool, None, "PositionerSensorPowerGroupB", None, None,
            "Power of sensor group B (last value written)"),
    Setting("DutyCycleEnable", bool, None, "PositionerDutyCycleEnable", None, None,
            "Duty-cycle operation on (last value written)"),
    Setting("DutyCyclePeriod", int, None, "PositionerDutyCyclePeriod",
            *setter_range("PositionerDutyCyclePeriod"),
            "Period of duty-cycle operation, 0..65535 (last value written)"),
    Setting("DutyCycleOffTime", int, None, "PositionerDutyCycleOffTime",
            *setter_range("PositionerDutyCycleOffTime"),
            "Off time within a duty-cycle period, 0..65535 (last value written)"),
)

# Values the device assumes before anything was written.
INITIAL_VALUES = {"Output": True}

SETTINGS_BY_NAME = {setting.name: setting for setting in SETTINGS + CONTROLLER_SETTINGS}
_TANGO_TYPES = {int: tango.DevLong, bool: tango.DevBoolean}


def tango_attribute(setting):
    """The read/write Tango attribute of a setting, with its range;
    memorized, and written at start with the value Tango kept."""
    attr = tango.Attr(setting.name, _TANGO_TYPES[setting.kind], tango.AttrWriteType.READ_WRITE)
    attr.set_memorized()
    attr.set_memorized_init(True)
    attr.set_disp_level(tango.DispLevel.EXPERT)      # drive settings: for the expert
    properties = tango.UserDefaultAttrProp()
    properties.set_description(setting.doc)
    if setting.minimum is not None:
        properties.set_min_value(str(setting.minimum))
        properties.set_max_value(str(setting.maximum))
    attr.set_default_properties(properties)
    return attr
