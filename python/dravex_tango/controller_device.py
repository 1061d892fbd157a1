"""Tango device class PositionerController: one positioner controller as a
whole (one device per controller). It shares the open controller with the
axis devices of the process that name it the same way (property Address
or HardwareId), or that name this device (their property ControllerDevice):
one connection.

It offers what belongs to the controller rather than an axis: its hardware
id, carrier, address and link state, a stop of every axis (StopAll), and
the controller-wide settings (settings.CONTROLLER_SETTINGS: among them
those of each trigger and quadrature channel). Threads as in device.py:
Tango serialises the device's requests, the pusher applies the link's
changes under the device monitor.
"""
from __future__ import annotations

import functools
from typing import Any, Dict, Optional, Tuple

from tango import AttrQuality, DevState
from tango.server import Device, attribute, command, device_property

from . import _dravex, startup, targets
from .device import _links
from .failures import fail, sentence
from .link import ControllerLink, LinkDown, LinkStatus
from .pusher import Pusher
from .settings import CONTROLLER_SETTINGS, SETTINGS_BY_NAME, Value, controller_call, \
    controller_calls, tango_attribute


class PositionerController(Device):
    """A six-axis piezo positioner controller as a whole."""

    Address = device_property(dtype=str, default_value="",
                              doc="Network address of the controller (or set HardwareId)")
    HardwareId = device_property(dtype=int, doc="Hardware id of the controller (or set Address)")

    def init_device(self) -> None:
        super().init_device()
        self._link: Optional[ControllerLink] = None
        self._pusher: Optional[Pusher] = None
        # Written settings, kept across Init.
        self._values: Dict[str, Value] = getattr(self, "_values", None) or {}
        self._link_status: Optional[LinkStatus] = None
        try:
            target = targets.from_properties(self.Address, self.HardwareId)
        except ValueError as error:
            self._show(DevState.FAULT, sentence(error))
            return
        self.set_change_event("State", True, False)
        self._show(DevState.INIT, "Waiting for the controller.")
        self._pusher = Pusher(self, self._apply, self.get_name())
        link = self._link = _links.acquire(target)
        self._apply("status", link.current(None)[0])
        startup.when_running(functools.partial(self._watch, link))

    def _watch(self, link: ControllerLink) -> None:
        """Link changes (no axis) are delivered from the server's start on."""
        if self._link is link:
            link.watch(None, self)

    def delete_device(self) -> None:
        link, self._link = self._link, None
        if link is not None:
            link.unwatch(None, self)
            _links.release(link)
        if self._pusher is not None:
            self._pusher.close()

    # -- the link -----------------------------------------------------------------

    def link_status(self, status: LinkStatus) -> None:
        if self._pusher is not None:
            self._pusher.file("status", status)

    def axis_report(self, snapshot: _dravex.Snapshot) -> None:   # not watched: no axis
        pass

    def _apply(self, kind: str, status: LinkStatus) -> None:
        was_up = self._link_status is not None and self._link_status.up
        self._link_status = status
        if status.up:
            note = self._send_written() if not was_up else ""
            self._show(DevState.ON, f"{self._link.target if self._link else ''} is open.{note}")
        elif status.opening:
            self._show(DevState.INIT, status.reason + ".")
        else:
            self._show(DevState.FAULT, status.reason + ".")

    def _send_written(self) -> str:
        """Sends the settings written through the device again (the
        controller forgets them when switched off); the sentence for Status."""
        failed = []
        for function, args in controller_calls(self._values):
            try:
                self._request(function, *args)
            except (LinkDown, _dravex.DravexError) as error:
                failed.append(f"{function} ({error})")
        if failed:
            return f" Sending the written settings failed: {'; '.join(failed)}."
        if self._values:
            return " Written settings sent on connecting: " + ", ".join(
                f"{name} {value}" for name, value in self._values.items()) + "."
        return ""

    def _request(self, function: str, *args: Any) -> Any:
        if self._link is None:
            raise LinkDown(self.get_status())
        return self._link.request(function, *args)

    def _show(self, state: Any, text: str) -> None:
        self.set_status(text)
        if state != self.get_state():
            self.set_state(state)
            self.push_change_event("State", state)

    # -- attributes and commands -------------------------------------------------------

    def _described(self, what: str) -> Tuple[Optional[int], str, str]:
        described = self._link.describe() if self._link is not None else None
        if described is None:
            fail("PositionerDS_ControllerLost", f"{what} is not known: "
                 f"{self.get_status()}", what)
        return (described[0], str(described[1]), str(described[2]))

    @attribute(dtype=int, format="%d", label="Hardware id", abs_change=1,
               doc="Hardware id of the controller (-1 where it reports none)")
    def ControllerHardwareId(self) -> int:
        hardware_id = self._described("ControllerHardwareId")[0]
        return -1 if hardware_id is None else hardware_id

    @attribute(dtype=str, label="Carrier", doc="How the controller is connected (tcp, usb, ...)")
    def Carrier(self) -> str:
        return self._described("Carrier")[1]

    @attribute(dtype=str, label="Address", doc="Network address of the controller")
    def ControllerAddress(self) -> str:
        return self._described("ControllerAddress")[2]

    @attribute(dtype=str, label="Link state", doc="The state of the connection, in one sentence")
    def LinkState(self) -> str:
        return str(self.get_status())

    @command
    def StopAll(self) -> None:
        """Halts every axis of the controller at once."""
        try:
            self._request("PositionerHaltAll")
        except (LinkDown, _dravex.DravexError) as error:
            fail("PositionerDS_StopAll", f"Stopping the axes failed: {error}", "StopAll")

    def initialize_dynamic_attributes(self) -> None:
        for setting in CONTROLLER_SETTINGS:
            self.add_attribute(tango_attribute(setting), self._read_setting, self._write_setting)

    def _read_setting(self, attr: Any) -> None:
        value = self._values.get(attr.get_name())
        if value is None:
            attr.set_quality(AttrQuality.ATTR_INVALID)   # not written through this device
            return
        attr.set_value(value)

    def _write_setting(self, attr: Any) -> None:
        """Sends the setting and keeps it, also when the controller cannot be
        reached now (as at the server's start, when Tango writes the
        memorized values): it is sent again whenever the controller is opened."""
        setting = SETTINGS_BY_NAME[attr.get_name()]
        value = attr.get_write_value()
        function, args = controller_call(setting, value, self._values)
        try:
            self._request(function, *args)
        except LinkDown as error:
            self._values[setting.name] = value
            fail("PositionerDS_ControllerLost", f"{error}; {setting.name} {value} is kept and "
                 "sent once the controller is reached.", setting.name)
        except _dravex.DravexError as error:
            fail("PositionerDS_Setting", f"Writing {setting.name} failed: {error}",
                 setting.name)
        self._values[setting.name] = value
