"""Which controller a device's properties name: a network address, a
hardware id, or (for an axis device) the PositionerController device whose
properties name it, so that both share one connection."""
from __future__ import annotations

from typing import Optional

import tango

from .link import ControllerTarget


def from_properties(address: str, hardware_id: Optional[int]) -> ControllerTarget:
    """The controller named by exactly one of Address and HardwareId;
    ValueError with the sentence of what to set otherwise."""
    if bool(address) == (hardware_id is not None):
        raise ValueError("set exactly one of the properties Address and HardwareId")
    return ControllerTarget(address or None, None if address else hardware_id)


def from_controller_device(name: str) -> ControllerTarget:
    """The controller that the device `name` (a PositionerController) names
    by its properties in the Tango database; ValueError with a sentence."""
    if not tango.Util._UseDb:
        raise ValueError("the property ControllerDevice needs a Tango database; "
                         "set Address or HardwareId instead")
    found = tango.Util.instance().get_database().get_device_property(
        name, ["Address", "HardwareId"])
    address = " ".join(found["Address"]).strip()
    hardware_id: Optional[int] = None
    if len(found["HardwareId"]):
        text = " ".join(found["HardwareId"]).strip()
        try:
            hardware_id = int(text)
        except ValueError:
            raise ValueError(f"the controller device {name} has the HardwareId {text!r}, "
                             "not a number") from None
    try:
        return from_properties(address, hardware_id)
    except ValueError as error:
        raise ValueError(f"the controller device {name} named by ControllerDevice does not "
                         f"name one controller ({error})") from None
