"""Tango device class PositionerAxis: one axis of a positioner controller.

Devices of one server process that name the same controller (property
Address or HardwareId, or ControllerDevice: the PositionerController device
that names it) share one open handle (see link.py). Change events
of Position, Speed and State are pushed as the controller's own reports
arrive (the controller's monitor), not by Tango polling.

Threads. Tango serialises everything done on one device: requests (its
default serial model, by device) and, through pusher.py, what the
controller reports, all under the device monitor, the one lock of the
device's state. Requests to different devices run side by side and reach
the controller at once (dravex.Controller is safe from several threads,
and a setter never waits for a querying getter). The link never waits
for a device: it files each delivery with the device's pusher,
whose thread applies it under the monitor, so a request that waits for a
slow controller holds up the events of its own device only. Init,
DevRestart and shutdown hold the monitor while they run delete_device and
init_device; delete_device unwatches and closes the pusher, which checks
under the monitor before it applies anything: no push reaches a device
being re-initialised or deleted. (The server ran without the device
monitor before, NO_SYNC, pushing from the link's thread; Init while
clients read then crashed it, see tests/tango/test_stress.py.)

Stop and StopAll go out at once (PositionerHalt, PositionerHaltAll: the
approach ended, then the stop), whatever requests of the other devices of
the controller are waiting for. A request of the device's own runs
first; none waits long for the controller: a read of a setting waits at
most ReadWait seconds for its reply (queries.py). A move started through
the device ends by the one rule of dravex._motion (move_tracker.py); a
move that does not arrive is halted.
"""
from __future__ import annotations

import decimal
import functools
import math
import threading
import time
import weakref
from typing import Any, Callable, Dict, Optional, Tuple, TypeVar, cast

import tango
from tango import AttrQuality, AttrWriteType, DevState
from tango.server import Device, attribute, command, device_property

from . import _dravex, startup, targets
from .axis_state import axis_state
from .class_defaults import ClassDefault, add_class_properties
from .failures import fail, sentence
from .link import ControllerLink, ControllerTarget, LinkDown, LinkStatus
from .links import LinkRegistry
from .move_tracker import MoveTracker, Outcome
from .pusher import Pusher
from .queries import NoReply
from .settings import INITIAL_VALUES, INT32_MAX, INT32_MIN, SETTINGS, SETTINGS_BY_NAME, Value, \
    tango_attribute
from .soft_limits import SoftLimits

BACKWARD, FORWARD = 0, 1
# An event threshold that was not configured.
_NOT_SET = ("", "Not specified")
# Every digit of a 32-bit position, also with a Scale (%.6g showed
# 1234567 as 1.23457e+06).
FULL_RESOLUTION = "%.12g"


def scaled_format(scale: float) -> str:
    """Fixed point with every digit a scaled position has: the decimals of
    the scale (0.001: "%.3f", 1: "%.0f"); %g shows 3220.328 to taurus as
    3220.328000000000."""
    exponent = decimal.Decimal(repr(abs(scale))).normalize().as_tuple().exponent
    return f"%.{min(max(0, -int(exponent)), 12)}f"


# The attributes in the unit of Position (with the suffix of their unit):
# their unit and change threshold follow Scale, Unit and ChangeStep.
SCALED = {"Position": "", "Offset": "", "ReferencePosition": "", "StepWidth": "",
          "Speed": "/s"}
# The attributes whose change and archive events the device pushes itself.
PUSHED = ("Position", "Speed")

# The defaults a facility may set once for the class (class properties of
# these names); a device property overrides them.
DEFAULTS = {d.name: d for d in (
    ClassDefault("Scale", float, 1.0, "Unit per controller position unit "
                 "(Position = raw * Scale + Offset)"),
    ClassDefault("Unit", str, "", "Name of the unit of Position"),
    ClassDefault("SoftLimitLow", float, None, "Lowest position a move may reach "
                 "(unit of Position); unset: none"),
    ClassDefault("SoftLimitHigh", float, None, "Highest position a move may reach "
                 "(unit of Position); unset: none"),
    ClassDefault("ChangeStep", int, 1, "Default change threshold (abs_change) of the "
                 "positions and Speed, in controller units, where it is not configured"),
    ClassDefault("ArchiveStep", int, 1000, "Default archive threshold (archive_abs_change) "
                 "of Position and Speed, in controller units, where it is not configured"),
    ClassDefault("MoveTimeout", float, _dravex.DEFAULT_MOVE_TIMEOUT,
                 "Seconds an absolute or relative move may take before it is halted"),
    ClassDefault("ReadWait", float, 0.5,
                 "Seconds a read of a setting waits for the controller's reply; the "
                 "device serves nothing else meanwhile, a Stop of the axis included"),
)}

# The controller links of this process; their threads hand reports to the devices.
_links = LinkRegistry(thread_context=tango.EnsureOmniThread)
_devices: "weakref.WeakSet[PositionerAxis]" = weakref.WeakSet()   # alive, for halt_moves


def halt_moves() -> None:
    """Halts every axis whose move a device of this process started and
    that has not ended (for a shutdown)."""
    for device in list(_devices):
        link = device._link
        if link is not None and device._move.running:
            try:
                link.request("PositionerHalt", device.Axis)
            except (LinkDown, _dravex.DravexError) as error:
                device.error_stream(f"Axis {device.Axis}: halting it failed: {error}")


def close_controllers() -> None:
    """Closes every controller of the process (for a shutdown)."""
    _links.close_all()


Method = TypeVar("Method", bound=Callable[..., Any])


def _reports_errors(method: Method) -> Method:
    """Turns the failures of a request into one DevFailed sentence."""
    @functools.wraps(method)
    def wrapper(self: PositionerAxis, *args: Any) -> Any:
        try:
            return method(self, *args)
        except LinkDown as error:
            fail("PositionerDS_ControllerLost", f"{error}.", method.__name__)
        except NoReply as error:
            fail("PositionerDS_NoReply", f"Axis {self.Axis}: {error}.", method.__name__)
        except _dravex.DravexError as error:
            fail("PositionerDS_LibraryError", f"Axis {self.Axis}: "
                 f"{_dravex.describe_error(error)}.", method.__name__)
    return cast(Method, wrapper)


class PositionerAxis(Device):
    """One axis (0..5) of a six-axis piezo positioner controller."""

    Address = device_property(dtype=str, default_value="",
                              doc="Network address of the controller (or set HardwareId "
                                  "or ControllerDevice)")
    HardwareId = device_property(dtype=int, doc="Hardware id of the controller (or set "
                                                "Address or ControllerDevice)")
    ControllerDevice = device_property(
        dtype=str, default_value="",
        doc="The PositionerController device whose Address or HardwareId names the "
            "controller (or set Address or HardwareId); the two share one connection")
    Axis = device_property(dtype=int, mandatory=True, doc="Axis of the controller, 0..5")
    AllowRetarget = device_property(dtype=bool, default_value=False,
                                    doc="Accept a new move while the axis moves")
    Scale = DEFAULTS["Scale"].device_property()
    Unit = DEFAULTS["Unit"].device_property()
    SoftLimitLow = DEFAULTS["SoftLimitLow"].device_property()
    SoftLimitHigh = DEFAULTS["SoftLimitHigh"].device_property()
    ChangeStep = DEFAULTS["ChangeStep"].device_property()
    ArchiveStep = DEFAULTS["ArchiveStep"].device_property()
    MoveTimeout = DEFAULTS["MoveTimeout"].device_property()
    ReadWait = DEFAULTS["ReadWait"].device_property()

    # -- life cycle ---------------------------------------------------------

    def init_device(self) -> None:
        super().init_device()
        self._state, self._status_text = DevState.INIT, "Waiting for the controller."
        self._link: Optional[ControllerLink] = None
        self._pusher: Optional[Pusher] = None
        self._report: Optional[_dravex.Snapshot] = None   # the last one, None while down
        self._flags: Optional[_dravex.Status] = None   # its decoded status
        self._link_status: Optional[LinkStatus] = None
        # The settings written describe the controller, not the device: kept
        # across Init.
        self._values: Dict[str, Value] = getattr(self, "_values", None) or dict(INITIAL_VALUES)
        self._written: Dict[str, Value] = getattr(self, "_written", None) or {}  # sent on open
        self._note = ""                    # said in Status after the state's own text
        self._move = MoveTracker()
        self._heading = 0                  # +1/-1: a running move without a target goes that way
        self._travel = 0                   # +1/-1: the way the axis last moved (controller units)
        self._set_point_to_stop = False    # Position's set value follows where the axis stops
        self._measuring = False
        self._capacity: Optional[int] = None
        self._pushed: Dict[str, Tuple[float, Any]] = {}   # attribute -> (value, quality) pushed
        self._offset: float = getattr(self, "_offset", 0.0)   # kept across Init, like settings
        self._limits = SoftLimits()        # replaced by the properties' once they are checked
        target, problem = self._configuration()
        if target is None:
            self._show(DevState.FAULT, problem)
            return
        self._set_attribute_defaults()
        for name in ("State", "Capacity"):
            self.set_change_event(name, True, False)
        self._pusher = Pusher(self, self._apply, self.get_name())
        link = self._link = _links.acquire(target)
        _devices.add(self)
        # What the link knows, at once: reads right after Init find the
        # values of before (watch delivers them again, which changes nothing).
        status, snapshot = link.current(self.Axis)
        self._apply_status(status)
        if snapshot is not None and status.up:
            self._apply_report(snapshot)
        startup.when_running(functools.partial(self._watch, link))

    def _watch(self, link: ControllerLink) -> None:
        """Deliveries begin (see startup.py); not for a link given up since."""
        if self._link is link:
            link.watch(self.Axis, self)

    def delete_device(self) -> None:
        # Under the device monitor (Init, DevRestart, shutdown): the link's
        # deliveries only file with the pusher (unwatch waits for one in
        # progress), and the pusher applies nothing once closed.
        link, self._link = self._link, None
        if link is not None:
            link.unwatch(self.Axis, self)
            _links.release(link)
        if self._pusher is not None:
            self._pusher.close()

    def _configuration(self) -> Tuple[Optional[ControllerTarget], str]:
        """(the controller the properties name, "") when they are right,
        else (None, the sentence for Status)."""
        if not 0 <= self.Axis <= 5:
            return None, f"The property Axis is {self.Axis}; it must be 0..5."
        if not math.isfinite(self.Scale) or self.Scale == 0:
            return None, f"The property Scale is {self.Scale}; it must be a non-zero number."
        try:
            self._limits = self._soft_limits()
        except ValueError as error:
            return None, f"The software limits are wrong: {error}."
        for name in ("ChangeStep", "ArchiveStep"):
            if not 1 <= getattr(self, name) <= INT32_MAX:
                return None, f"The property {name} is {getattr(self, name)}; it must be " \
                             f"1..{INT32_MAX}."
        if not self.MoveTimeout > 0:
            return None, f"The property MoveTimeout is {self.MoveTimeout}; it must be above 0 s."
        if [bool(self.Address), self.HardwareId is not None, bool(self.ControllerDevice)].count(
                True) != 1:
            return None, "Set exactly one of the properties Address, HardwareId and " \
                         "ControllerDevice."
        try:
            if self.ControllerDevice:
                return targets.from_controller_device(self.ControllerDevice), ""
            return targets.from_properties(self.Address, self.HardwareId), ""
        except ValueError as error:
            return None, sentence(error)

    def _set_attribute_defaults(self) -> None:
        """Units and event thresholds that follow the properties. The
        positions and Speed: in Unit, and a change event for every change
        of ChangeStep controller units; Position and Speed also an archive
        event every ArchiveStep units (HDB++ subscribes to archive events: no
        Tango polling is needed). Thresholds configured in the database are
        kept."""
        attributes = self.get_device_attr()
        unit = abs(self.Scale)
        for name, per in SCALED.items():
            attr = attributes.get_attr_by_name(name)
            properties = attr.get_properties()
            if self.Unit:
                properties.unit = properties.display_unit = self.Unit + per
            if properties.format == FULL_RESOLUTION:
                properties.format = scaled_format(self.Scale)
            if properties.abs_change in _NOT_SET:
                properties.abs_change = repr(self.ChangeStep * unit)
            if name in PUSHED and properties.archive_abs_change in _NOT_SET:
                properties.archive_abs_change = repr(self.ArchiveStep * unit)
            attr.set_properties(properties)
        for name in PUSHED:
            self.set_change_event(name, True, True)
            self.set_archive_event(name, True, True)

    # -- what the controller reports ---------------------------------------------

    def link_status(self, status: LinkStatus) -> None:
        """From the link's thread: filed, applied under the device monitor."""
        if self._pusher is not None:
            self._pusher.file("status", status)

    def axis_report(self, snapshot: _dravex.Snapshot) -> None:
        """From the link's thread: filed, applied under the device monitor."""
        if self._pusher is not None:
            self._pusher.file("report", snapshot)

    def _apply(self, kind: str, value: Any) -> None:
        if self._link is None:
            return
        if kind == "status":
            self._apply_status(value)
        elif kind == "capacity":
            self._apply_capacity(value)
        else:
            self._apply_report(value)

    def _apply_status(self, status: LinkStatus) -> None:
        was_up = self._link_status is not None and self._link_status.up
        self._link_status = status
        if not status.up:
            self._report = self._flags = None
            self._push_invalid()
        elif not was_up:
            self._note = self._send_written()
        self._update_state()

    def _send_written(self) -> str:
        """Sends the settings written through the device again (the
        controller forgets them when switched off); the sentence for Status."""
        if not self._written:
            return ""
        failed = []
        for name, value in self._written.items():
            try:
                self._call(SETTINGS_BY_NAME[name].setter, self.Axis, value)
            except (LinkDown, _dravex.DravexError) as error:
                failed.append(f"{name} ({error})")
        sent = ", ".join(f"{name} {value}" for name, value in self._written.items())
        if failed:
            return f"Sending the written settings failed: {'; '.join(failed)}; write them again."
        return f"Written settings sent on connecting: {sent}."

    def _push_invalid(self) -> None:
        # Subscribers learn at once that the last values no longer hold.
        stamp = time.time()
        for name in PUSHED:
            value, quality = self._pushed.get(name, (0.0, None))
            if quality != AttrQuality.ATTR_INVALID:
                self._pushed[name] = (value, AttrQuality.ATTR_INVALID)
                self.push_change_event(name, value, stamp, AttrQuality.ATTR_INVALID)
                self.push_archive_event(name, value, stamp, AttrQuality.ATTR_INVALID)

    def _apply_report(self, snapshot: _dravex.Snapshot) -> None:
        now = time.monotonic()
        if self._report is not None and snapshot.position != self._report.position:
            self._travel = 1 if snapshot.position > self._report.position else -1
        self._report, self._flags = snapshot, snapshot.status
        outcome = self._move.judge(snapshot, now)
        if self._move.running and self._heading and self._limits.reached(snapshot.position,
                                                                          self._heading):
            self._move.cancel()
            outcome = Outcome.STOPPED
            self._note = f"Axis {self.Axis} was halted at the software limit."
        if self._move.running and self._link is not None:
            self._link.recheck(self, self._move.next_change(now))
        elif outcome not in (None, Outcome.ARRIVED):
            self._set_point_to_stop = True
        if self._set_point_to_stop and not snapshot.status.moving and not self._move.running:
            self._set_point_to_stop = False
            self._set_point(snapshot.position)
        # Values first: a client that sees the axis stand has its last
        # position already.
        stamp = time.time()
        for name, value, quality in (
                ("Position", self._at(snapshot.position), self._position_quality()),
                ("Speed", self._user(snapshot.speed), AttrQuality.ATTR_VALID)):
            if self._pushed.get(name) != (value, quality):
                self._pushed[name] = (value, quality)
                self.push_change_event(name, value, stamp, quality)
                self.push_archive_event(name, value, stamp, quality)
        self._update_state()
        if outcome is not None and outcome not in (Outcome.RUNNING, Outcome.ARRIVED):
            self._halt_quietly(outcome)

    def _halt_quietly(self, outcome: Outcome) -> None:
        # A move that did not arrive (end of travel, stopped elsewhere,
        # time-out): halted, so that the axis neither drives on nor keeps
        # its approach. A halt only sends: it does not hold up the link.
        try:
            self._call("PositionerHalt", self.Axis)
        except (LinkDown, _dravex.DravexError) as error:
            self.warn_stream(f"Axis {self.Axis} {outcome.value}; halting it failed: {error}")

    # -- state ----------------------------------------------------------------

    def _moving(self) -> bool:
        return self._move.running or (self._flags is not None and bool(self._flags.moving))

    def _update_state(self) -> None:
        if self._link_status is None:
            return
        state, text = axis_state(self.Axis, self._link_status, self._flags,
                                 bool(self._values["Output"]), self._move.running)
        self._show(state, f"{text} {self._note}" if self._note and self._link_status.up else text)

    def _show(self, state: Any, text: str) -> None:
        self._status_text = text
        if state != self._state:
            self._state = state
            self.set_state(state)
            self.push_change_event("State", state)

    def dev_state(self) -> Any:
        return self._state

    def dev_status(self) -> str:
        return self._status_text

    def _start_move(self, what: str, function: str, *args: int, target: Optional[int] = None,
                    heading: int = 0, timeout: float = math.inf) -> None:
        """Checks that the axis may move, shows it MOVING (the controller
        reports the move only after the command) and sends the request; a
        request that fails takes the MOVING back. target (controller units)
        is where the move ends, None for a move without one, which goes
        toward heading (+1, -1) until halted (at the latest at a software
        limit)."""
        link = self._link
        if link is None:
            raise LinkDown(self._status_text.rstrip("."))
        self._check_may_move(what)
        self._check_limits(what, target, heading)
        now = time.monotonic()
        self._note = ""
        self._heading = heading if target is None else 0
        self._move.start(target, timeout, now)
        link.recheck(self, self._move.next_change(now))
        self._update_state()
        try:
            self._call(function, self.Axis, *args)
        except BaseException:
            self._move_ended()
            raise
        self._set_point_to_stop = False
        if target is not None:
            self._set_point(target)

    def _move_ended(self) -> None:
        """The device stopped the axis: no longer judged as a move; the set
        value follows where it stops."""
        self._move.cancel()
        self._set_point_to_stop = True
        self._update_state()

    def _set_point(self, raw: int) -> None:
        """Position's set value: the target of the last move, or where a
        move that did not arrive stopped."""
        attribute = self.get_device_attr().get_w_attr_by_name("Position")
        attribute.set_write_value(self._at(raw))

    def _check_limits(self, what: str, target: Optional[int], heading: int) -> None:
        limits = self._limits
        if target is not None and not limits.allows_target(target):
            fail("PositionerDS_SoftLimit", f"Axis {self.Axis} cannot {what} to "
                 f"{self._at(target):g}: outside the software limits "
                 f"{self._limits_text()}.", what)
        if heading and not limits.allows_direction(self._reported("Position").position, heading):
            fail("PositionerDS_SoftLimit", f"Axis {self.Axis} cannot {what} that way: it "
                 f"stands at a software limit ({self._limits_text()}).", what)

    def _limits_text(self) -> str:
        return (f"{self.SoftLimitLow if self.SoftLimitLow is not None else '-inf'} .. "
                f"{self.SoftLimitHigh if self.SoftLimitHigh is not None else 'inf'}")

    def _check_may_move(self, what: str) -> None:
        if self._state == DevState.DISABLE:
            fail("PositionerDS_OutputOff", f"Axis {self.Axis} cannot {what}: its output is "
                 "off; write Output to switch it on.", what)
        if self._state == DevState.MOVING and not self.AllowRetarget:
            fail("PositionerDS_Moving", f"Axis {self.Axis} is moving; Stop it before you "
                 f"{what} (or set the property AllowRetarget).", what)

    # -- units ----------------------------------------------------------------

    def _user(self, raw: int) -> float:
        """A distance, speed or step width in the unit of Position."""
        return float(raw * self.Scale)

    def _at(self, raw: int) -> float:
        """A position in the unit of Position: with the Offset."""
        return float(raw * self.Scale + self._offset)

    def _raw(self, value: float, what: str) -> int:
        """A distance in controller units."""
        if not math.isfinite(value):
            fail("PositionerDS_OutOfRange", f"{what} {value} is not a number.", what)
        return self._bounded(round(value / self.Scale), what)

    def _raw_at(self, value: float, what: str) -> int:
        """A position in controller units."""
        if not math.isfinite(value):
            fail("PositionerDS_OutOfRange", f"{what} {value} is not a number.", what)
        return self._bounded(round((value - self._offset) / self.Scale), what)

    def _soft_limits(self) -> SoftLimits:
        return SoftLimits.from_user(self.SoftLimitLow, self.SoftLimitHigh, self.Scale,
                                    self._offset)

    def _bounded(self, raw: int, what: str) -> int:
        if not INT32_MIN <= raw <= INT32_MAX:
            fail("PositionerDS_OutOfRange", f"{what} {self._user(raw):g} is outside the "
                 "controller's 32-bit position range.", what)
        return raw

    def _position_quality(self) -> Any:
        return AttrQuality.ATTR_CHANGING if self._moving() else AttrQuality.ATTR_VALID

    def _reported(self, what: str) -> _dravex.Snapshot:
        report = self._report
        if report is None:
            reason = self._link_status.reason if self._link_status else "no controller"
            fail("PositionerDS_NoReport", f"{what} of axis {self.Axis} is not known: "
                 f"{reason or 'no report yet'}.", what)
        return report

    # -- attributes -------------------------------------------------------------
    # Each with a label and a format of full resolution; the unit and change
    # threshold of those in the unit of Position: _set_attribute_defaults.

    @attribute(dtype=float, access=AttrWriteType.READ_WRITE, format=FULL_RESOLUTION,
               label="Position", doc="Position as last reported; writing it starts an absolute move")
    def Position(self) -> Tuple[float, float, Any]:
        report = self._reported("Position")
        return self._at(report.position), time.time(), self._position_quality()

    @Position.write  # type: ignore[no-redef]  # PyTango's idiom for the write method
    @_reports_errors
    def Position(self, value: float) -> None:
        target = self._raw_at(value, "Target")
        self._start_move("start a move", "PositionerMoveAbsolute", target, 0, target=target,
                         timeout=self.MoveTimeout)

    @attribute(dtype=float, access=AttrWriteType.READ_WRITE, memorized=True, hw_memorized=True,
               format=FULL_RESOLUTION, label="Offset",
               doc="Added to every position (Position = controller units * Scale + Offset); "
                   "DefinePosition sets it")
    def Offset(self) -> float:
        return self._offset

    @Offset.write  # type: ignore[no-redef]  # PyTango's idiom for the write method
    def Offset(self, value: float) -> None:
        self._set_offset(value)

    def _set_offset(self, value: float) -> None:
        if not math.isfinite(value):
            fail("PositionerDS_OutOfRange", f"Offset {value} is not a number.", "Offset")
        self._offset = value
        self._limits = self._soft_limits()
        if self._report is not None:
            self._apply_report(self._report)       # Position's event with the new offset

    @command(dtype_in=float, doc_in="The position (unit of Position) the axis stands at")
    def DefinePosition(self, value: float) -> None:
        """Sets Offset so that the axis, where it stands, reads value;
        memorized as a write of Offset would be."""
        self._check_may_move("define its position")
        self._set_offset(value - self._user(self._reported("Position").position))
        database = tango.Util.instance().get_database() if tango.Util._UseDb else None
        if database is not None:
            database.put_device_attribute_property(
                self.get_name(), {"Offset": {"__value": [repr(self._offset)]}})

    @attribute(dtype=float, format=FULL_RESOLUTION, label="Reference position",
               doc="Reference position as last reported")
    @_reports_errors
    def ReferencePosition(self) -> float:
        self._reported("ReferencePosition")
        return self._at(self._call("PositionerGetReference", self.Axis)[0])

    @attribute(dtype=(bool,), max_dim_x=3, label="Limit switches",
               doc="Limit switches as Sardana shows them: home, upper, lower. The "
                   "controller reports the end of travel without a side: upper or lower "
                   "is the way the axis last moved; there is no home switch")
    def LimitSwitches(self) -> list[bool]:
        at_end = bool(self._reported("LimitSwitches").status.end_of_travel)
        return [False, at_end and self._travel > 0, at_end and self._travel < 0]

    @attribute(dtype=bool, label="Reference valid", doc="The reference position is valid")
    def ReferenceValid(self) -> bool:
        return bool(self._reported("ReferenceValid").status.reference_valid)

    @attribute(dtype=float, format=FULL_RESOLUTION, label="Speed",
               doc="Speed as last reported (per second)")
    def Speed(self) -> float:
        return self._user(self._reported("Speed").speed)

    @attribute(dtype=float, format=FULL_RESOLUTION, label="Step width",
               doc="Step width as last reported")
    @_reports_errors
    def StepWidth(self) -> float:
        self._reported("StepWidth")
        return self._user(self._call("PositionerGetStepwidth", self.Axis))

    def initialize_dynamic_attributes(self) -> None:
        for setting in SETTINGS:
            self.add_attribute(tango_attribute(setting), self._read_setting,
                               self._write_setting, self._setting_allowed)

    def _setting_allowed(self, request: Any) -> bool:
        """Settings are read at any time and written while the axis stands."""
        return bool(request == tango.AttReqType.READ_REQ or self._state != DevState.MOVING)

    # Commands that change what a move relies on wait until the axis stands.
    def is_ResetPosition_allowed(self) -> bool:
        return bool(self._state != DevState.MOVING)

    def is_LoadConfiguration_allowed(self) -> bool:
        return bool(self._state != DevState.MOVING)

    def _read_setting(self, attr: Any) -> None:
        setting = SETTINGS_BY_NAME[attr.get_name()]
        if setting.getter is None:
            value = self._values.get(setting.name)
            if value is None:
                attr.set_quality(AttrQuality.ATTR_INVALID)  # not written since the start
                return
        else:
            value = self._query(setting.getter)
        attr.set_value(value)

    def _write_setting(self, attr: Any) -> None:
        """Sends the setting and keeps it: it is sent again whenever the
        controller is opened (after a reconnect, or at start for a value
        Tango memorized), also when the controller cannot be reached now."""
        setting = SETTINGS_BY_NAME[attr.get_name()]
        value = attr.get_write_value()
        try:
            self._call(setting.setter, self.Axis, value)
        except LinkDown as error:
            self._keep(setting.name, value)
            fail("PositionerDS_ControllerLost", f"{error}; {setting.name} {value} is kept "
                 "and sent once the controller is reached.", setting.name)
        except _dravex.DravexError as error:
            fail("PositionerDS_LibraryError", f"Axis {self.Axis}: "
                 f"{_dravex.describe_error(error)}.", setting.name)
        self._keep(setting.name, value)

    def _keep(self, name: str, value: Value) -> None:
        self._values[name] = self._written[name] = value
        self._note = ""
        self._update_state()

    def _call(self, function: str, *args: Any) -> Any:
        return self._linked().request(function, *args)

    @_reports_errors
    def _query(self, getter: str) -> Any:
        return self._linked().query(self.ReadWait, getter, self.Axis)

    def _linked(self) -> ControllerLink:
        """The controller link, or LinkDown with the reason there is none."""
        if self._link is None:
            raise LinkDown(self._status_text.rstrip("."))
        return self._link

    # -- commands -----------------------------------------------------------------

    @command
    @_reports_errors
    def Stop(self) -> None:
        """Halts the axis at once: ends its approach, then stops every
        movement (whatever other requests are waiting for)."""
        self._call("PositionerHalt", self.Axis)
        self._move_ended()

    @command
    @_reports_errors
    def StopAll(self) -> None:
        """Halts every axis of this device's controller at once."""
        self._call("PositionerHaltAll")
        self._move_ended()

    @command(dtype_in=float, doc_in="Distance (in the unit of Position)")
    @_reports_errors
    def MoveRelative(self, distance: float) -> None:
        """Starts a move by the distance from the last reported position."""
        raw = self._raw(distance, "Distance")
        start = self._reported("Position").position
        self._start_move("start a move", "PositionerMoveRelative", raw, 0,
                         target=self._bounded(start + raw, "Target"), timeout=self.MoveTimeout)

    @command(dtype_in=int, doc_in="1 forward, 0 backward")
    @_reports_errors
    def Step(self, direction: int) -> None:
        """One single step (StepCount steps) in the direction."""
        # A step is over at once: not tracked as a move, so that steps can
        # follow each other quickly.
        self._check_direction(direction, "step")
        self._check_may_move("step")
        self._check_limits("step", None, self._sign(direction))
        self._call("PositionerMoveSingleStep", self.Axis, direction)

    @command(dtype_in=int, doc_in="1 forward, 0 backward")
    @_reports_errors
    def MoveContinuous(self, direction: int) -> None:
        """Moves until Stop or the end of travel."""
        self._check_direction(direction, "move continuously")
        self._start_move("move continuously", "PositionerMoveContinuous", direction,
                         heading=self._sign(direction))

    @staticmethod
    def _sign(direction: int) -> int:
        """Controller units grow forward."""
        return 1 if direction == FORWARD else -1

    def _check_direction(self, direction: int, what: str) -> None:
        if direction not in (BACKWARD, FORWARD):
            fail("PositionerDS_BadDirection", f"Direction {direction}: use 1 (forward) or "
                 "0 (backward).", what)

    @command
    @_reports_errors
    def MoveReference(self) -> None:
        """Moves to the reference mark; ReferencePosition is then valid."""
        self._start_move("move to the reference mark", "PositionerMoveReference")

    @command
    @_reports_errors
    def ResetPosition(self) -> None:
        """Sets the position counter to 0."""
        self._call("PositionerResetPosition", self.Axis)

    @command
    @_reports_errors
    def ClearStopDetection(self) -> None:
        """Clears a sticky stop detection."""
        self._call("PositionerClearStopDetection", self.Axis)

    @command
    @_reports_errors
    def MeasureCapacity(self) -> None:
        """Starts a measurement of the capacity of the axis's actuator and
        returns at once; the result (up to 10 s later) arrives in Capacity,
        with a change event. The device is not held meanwhile."""
        if self._measuring:
            fail("PositionerDS_Measuring", f"Axis {self.Axis} is measuring its capacity "
                 "already; wait for Capacity.", "MeasureCapacity")
        link, pusher = self._link, self._pusher
        if link is None or pusher is None:
            raise LinkDown(self._status_text.rstrip("."))
        self._measuring, self._capacity = True, None
        threading.Thread(target=self._measure, args=(link, pusher), daemon=True,
                         name=f"capacity {self.get_name()}").start()

    def _measure(self, link: ControllerLink, pusher: Pusher) -> None:
        result: Tuple[str, Any]
        try:
            result = ("measured", link.request("PositionerCapMeasure", self.Axis))
        except (LinkDown, _dravex.DravexError) as error:
            result = ("failed", f"the capacity measurement failed: {error}")
        pusher.file("capacity", result)   # ignored once the device was re-initialised

    def _apply_capacity(self, result: Tuple[str, Any]) -> None:
        self._measuring = False
        kind, value = result
        if kind == "measured":
            self._capacity = value
            self.push_change_event("Capacity", value)
        else:
            self._note = f"Axis {self.Axis}: {value}."
            self.error_stream(self._note)
            self._update_state()

    @attribute(dtype=int, format="%d", label="Capacity", abs_change=1,
               doc="Capacity of the actuator from the last MeasureCapacity "
                   "(controller units); invalid before or while measuring")
    def Capacity(self) -> Any:
        if self._capacity is None:
            return 0, time.time(), AttrQuality.ATTR_INVALID
        return self._capacity

    @command(dtype_in=str, doc_in="Path of an axis configuration file on the server's host",
             display_level=tango.DispLevel.EXPERT)
    @_reports_errors
    def LoadConfiguration(self, path: str) -> None:
        """Sends the parameters of an axis configuration file to the axis."""
        self._call("PositionerLoad", self.Axis, path)


add_class_properties(PositionerAxis, list(DEFAULTS.values()))
