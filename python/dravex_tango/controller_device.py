"""Tango device class PositionerController: one positioner controller as a
whole (one device per controller). It shares the open controller with the
axis devices of the process that name it the same way (property Address
or HardwareId): one connection.

It offers what belongs to the controller rather than an axis: its hardware
id, carrier, address and link state, a stop of every axis (StopAll), and
the controller-wide settings (settings.CONTROLLER_SETTINGS). Threads as in
device.py: Tango serialises the device's requests, the pusher applies the
link's changes under the device monitor.
"""
import tango
from tango import AttrQuality, DevState
from tango.server import Device, attribute, command, device_property

from . import _dravex
from .device import _links
from .link import ControllerTarget, LinkDown
from .pusher import Pusher
from .settings import CONTROLLER_SETTINGS, SETTINGS_BY_NAME, tango_attribute


def _fail(reason, message, origin):
    tango.Except.throw_exception(reason, message, origin)


class PositionerController(Device):
    """A six-axis piezo positioner controller as a whole."""

    Address = device_property(dtype=str, default_value="",
                              doc="Network address of the controller (or set HardwareId)")
    HardwareId = device_property(dtype=int, doc="Hardware id of the controller (or set Address)")

    def init_device(self):
        super().init_device()
        self._link = self._pusher = None
        self._values = getattr(self, "_values", None) or {}   # written settings, kept across Init
        self._link_status = None
        if bool(self.Address) == (self.HardwareId is not None):
            self._show(DevState.FAULT, "Set exactly one of the properties Address and HardwareId.")
            return
        self.set_change_event("State", True, False)
        self._show(DevState.INIT, "Waiting for the controller.")
        self._pusher = Pusher(self, self._apply, self.get_name())
        self._link = _links.acquire(ControllerTarget(self.Address or None,
                                                     None if self.Address else self.HardwareId))
        self._apply("status", self._link.current(None)[0])
        self._link.watch(None, self)           # link changes only: no axis

    def delete_device(self):
        link, self._link = self._link, None
        if link is not None:
            link.unwatch(None, self)
            _links.release(link)
        if self._pusher is not None:
            self._pusher.close()

    # -- the link -----------------------------------------------------------------

    def link_status(self, status):
        self._pusher.file("status", status)

    def axis_report(self, snapshot):           # not watched: no axis
        pass

    def _apply(self, kind, status):
        was_up = self._link_status is not None and self._link_status.up
        self._link_status = status
        if status.up:
            note = self._send_written() if not was_up else ""
            self._show(DevState.ON, f"{self._link.target} is open.{note}")
        elif status.opening:
            self._show(DevState.INIT, status.reason + ".")
        else:
            self._show(DevState.FAULT, status.reason + ".")

    def _send_written(self):
        failed = []
        for name, value in self._values.items():
            try:
                self._link.request(SETTINGS_BY_NAME[name].setter, value)
            except (LinkDown, _dravex.DravexError) as error:
                failed.append(f"{name} ({error})")
        if failed:
            return f" Sending the written settings failed: {'; '.join(failed)}."
        if self._values:
            return " Written settings sent on connecting: " + ", ".join(
                f"{name} {value}" for name, value in self._values.items()) + "."
        return ""

    def _show(self, state, text):
        self.set_status(text)
        if state != self.get_state():
            self.set_state(state)
            self.push_change_event("State", state)

    # -- attributes and commands -------------------------------------------------------

    def _described(self, what):
        described = self._link.describe() if self._link is not None else None
        if described is None:
            _fail("PositionerDS_ControllerLost", f"{what} is not known: "
                  f"{self.get_status()}", what)
        return described

    @attribute(dtype=int, doc="Hardware id of the controller (-1 where it reports none)")
    def ControllerHardwareId(self):
        hardware_id = self._described("ControllerHardwareId")[0]
        return -1 if hardware_id is None else hardware_id

    @attribute(dtype=str, doc="How the controller is connected (tcp, usb, ...)")
    def Carrier(self):
        return self._described("Carrier")[1]

    @attribute(dtype=str, doc="Network address of the controller")
    def ControllerAddress(self):
        return self._described("ControllerAddress")[2]

    @attribute(dtype=str, doc="The state of the connection, in one sentence")
    def LinkState(self):
        return self.get_status()

    @command
    def StopAll(self):
        """Halts every axis of the controller at once."""
        try:
            if self._link is None:
                raise LinkDown(self.get_status())
            self._link.request("PositionerHaltAll")
        except (LinkDown, _dravex.DravexError) as error:
            _fail("PositionerDS_StopAll", f"Stopping the axes failed: {error}", "StopAll")

    def initialize_dynamic_attributes(self):
        for setting in CONTROLLER_SETTINGS:
            self.add_attribute(tango_attribute(setting), self._read_setting, self._write_setting)

    def _read_setting(self, attr):
        value = self._values.get(attr.get_name())
        if value is None:
            attr.set_quality(AttrQuality.ATTR_INVALID)   # not written through this device
            return
        attr.set_value(value)

    def _write_setting(self, attr):
        setting = SETTINGS_BY_NAME[attr.get_name()]
        value = attr.get_write_value()
        try:
            if self._link is None:
                raise LinkDown(self.get_status())
            self._link.request(setting.setter, value)
        except (LinkDown, _dravex.DravexError) as error:
            _fail("PositionerDS_Setting", f"Writing {setting.name} failed: {error}",
                  setting.name)
        self._values[setting.name] = value
