"""Tango device class PositionerAxis: one axis of a positioner controller.

Devices of one server process that name the same controller (property
Address or HardwareId) share one open handle (see link.py). Change events
of Position, Speed and State are pushed as the controller's own reports
change the cached values, not by Tango polling.
"""
import functools
import math
import threading
import time

import tango
from tango import AttrQuality, AttrWriteType, DevState
from tango.server import Device, attribute, command, device_property

from . import _dravex
from .axis_state import axis_state
from .link import ControllerTarget, LinkBusy, LinkDown
from .links import LinkRegistry
from .settings import INITIAL_VALUES, SETTINGS, SETTINGS_BY_NAME, tango_attribute

INT32_MIN, INT32_MAX = -2**31, 2**31 - 1
BACKWARD, FORWARD = 0, 1

# The controller links of this process; their monitor threads push events.
_links = LinkRegistry(thread_context=tango.EnsureOmniThread)


def _fail(reason, message, origin):
    tango.Except.throw_exception(reason, message, origin)


def _reports_errors(method):
    """Turns the failures of a request into one DevFailed sentence."""
    @functools.wraps(method)
    def wrapper(self, *args):
        try:
            return method(self, *args)
        except LinkDown as error:
            _fail("PositionerDS_ControllerLost", f"{error}.", method.__name__)
        except LinkBusy as error:
            _fail("PositionerDS_ControllerBusy", f"{error}.", method.__name__)
        except _dravex.DravexError as error:
            _fail("PositionerDS_LibraryError", f"Axis {self.Axis}: "
                  f"{_dravex.describe_error(error)}.", method.__name__)
    return wrapper


class PositionerAxis(Device):
    """One axis (0..5) of a six-axis piezo positioner controller."""

    Address = device_property(dtype=str, default_value="",
                              doc="Network address of the controller (or set HardwareId)")
    HardwareId = device_property(dtype=int, doc="Hardware id of the controller (or set Address)")
    Axis = device_property(dtype=int, mandatory=True, doc="Axis of the controller, 0..5")
    AllowRetarget = device_property(dtype=bool, default_value=False,
                                    doc="Accept a new move while the axis moves")
    Scale = device_property(dtype=float, default_value=1.0,
                            doc="Unit per controller position unit (Position = raw * Scale)")
    Unit = device_property(dtype=str, default_value="", doc="Name of the unit of Position")
    SettleTime = device_property(
        dtype=float, default_value=0.3,
        doc="Seconds a started move counts as moving before the controller reports it")
    PollPeriod = device_property(dtype=float, default_value=0.005,
                                 doc="Seconds between reads of the controller's reports")

    # -- life cycle ---------------------------------------------------------

    def init_device(self):
        super().init_device()
        # Requests take no device monitor: the device locks what it shares
        # (_lock, and the link's request lock), and the link threads push
        # events, which take the monitor, whenever the controller reports,
        # also while a long request (MeasureCapacity) runs on the device.
        tango.Util.instance().set_serial_model(tango.SerialModel.NO_SYNC)
        self._state, self._status_text = DevState.INIT, "Waiting for the controller."
        self._link = None
        self._report = None                # the last AxisReport, None while the link is down
        self._flags = None                 # its status, decoded
        self._link_status = None
        self._values = dict(INITIAL_VALUES)
        self._move_pending_until = 0.0
        self._settle_timer = None
        self._pushed = {}                  # attribute -> (value, quality) of its last event
        self._lock = threading.RLock()
        problem = self._property_problem()
        if problem:
            self._show(DevState.FAULT, problem)
            return
        self._set_units()
        for name in ("Position", "Speed", "State"):
            self.set_change_event(name, True, False)
        target = ControllerTarget(self.Address or None,
                                  None if self.Address else self.HardwareId)
        self._link = _links.acquire(target, self.PollPeriod)
        self._link.watch(self.Axis, self)

    def delete_device(self):
        link, self._link = self._link, None
        if link is not None:
            link.unwatch(self.Axis, self)
            _links.release(link)
        timer = self._settle_timer
        if timer is not None:
            timer.cancel()

    def _property_problem(self):
        if bool(self.Address) == (self.HardwareId is not None):
            return "Set exactly one of the properties Address and HardwareId."
        if not 0 <= self.Axis <= 5:
            return f"The property Axis is {self.Axis}; it must be 0..5."
        if not math.isfinite(self.Scale) or self.Scale == 0:
            return f"The property Scale is {self.Scale}; it must be a non-zero number."
        if not 0 < self.PollPeriod <= 1:
            return f"The property PollPeriod is {self.PollPeriod}; it must be in (0, 1] s."
        if not 0 <= self.SettleTime <= 10:
            return f"The property SettleTime is {self.SettleTime}; it must be 0..10 s."
        return ""

    def _set_units(self):
        if not self.Unit:
            return
        attributes = self.get_device_attr()
        for name, unit in (("Position", self.Unit), ("ReferencePosition", self.Unit),
                           ("StepWidth", self.Unit), ("Speed", self.Unit + "/s")):
            attr = attributes.get_attr_by_name(name)
            properties = attr.get_properties()
            properties.unit = unit
            attr.set_properties(properties)

    # -- what the controller reports (monitor thread) -------------------------

    def link_status(self, status):
        with self._lock:
            self._link_status = status
            if not status.up:
                self._report = self._flags = None
            self._update_state()

    def axis_report(self, report):
        with self._lock:
            before = self._flags
            self._report, self._flags = report, _dravex.decode_status(report.status)
            if self._flags.moving:
                self._move_pending_until = 0.0  # the controller's report governs from now on
            moved_into_limit = (self._flags.end_of_travel and self._moving() and
                                not (before and before.end_of_travel))
            # Values first: a client that sees the axis stand has its last
            # position already.
            now = time.time()
            for name, value, quality in (
                    ("Position", self._user(report.position), self._position_quality()),
                    ("Speed", self._user(report.speed), AttrQuality.ATTR_VALID)):
                if self._pushed.get(name) != (value, quality):
                    self._pushed[name] = (value, quality)
                    self.push_change_event(name, value, now, quality)
            self._update_state()
        if moved_into_limit:
            threading.Thread(target=self._stop_quietly, daemon=True).start()

    def _stop_quietly(self):
        # The controller reported the end of travel during a move: stop it
        # there, as a move that did not arrive.
        try:
            self._call("PositionerStopMoving", self.Axis)
        except (LinkDown, LinkBusy, _dravex.DravexError):
            pass  # the state shows what the controller reports

    # -- state ----------------------------------------------------------------

    def _moving(self):
        if self._flags is not None and self._flags.moving:
            return True
        return time.monotonic() < self._move_pending_until

    def _update_state(self):
        if self._link_status is None:
            return
        pending = time.monotonic() < self._move_pending_until
        self._show(*axis_state(self.Axis, self._link_status, self._flags,
                               self._values["Output"], pending))

    def _show(self, state, text):
        with self._lock:
            self._status_text = text
            if state != self._state:
                self._state = state
                self.set_state(state)
                self.push_change_event("State", state)

    def dev_state(self):
        return self._state

    def dev_status(self):
        return self._status_text

    def _start_move(self, what, function, *args, settle=True):
        """Checks that the axis may move, shows it MOVING (before the
        controller can report the move, for settle) and sends the request;
        a request that fails takes the MOVING back."""
        with self._lock:
            self._check_may_move(what)
            if settle:
                self._move_pending_until = time.monotonic() + self.SettleTime
                self._set_settle_timer(threading.Timer(self.SettleTime, self._settled))
                self._update_state()
        try:
            self._call(function, self.Axis, *args)
        except BaseException:
            if settle:
                self._move_ended()
            raise

    def _move_ended(self):
        with self._lock:
            self._move_pending_until = 0.0
            self._set_settle_timer(None)
            self._update_state()

    def _set_settle_timer(self, timer):
        if self._settle_timer is not None:
            self._settle_timer.cancel()
        self._settle_timer = timer
        if timer is not None:
            timer.daemon = True
            timer.start()

    def _settled(self):
        with tango.EnsureOmniThread(), self._lock:
            self._update_state()

    def _check_may_move(self, what):
        if self._state == DevState.DISABLE:
            _fail("PositionerDS_OutputOff", f"Axis {self.Axis} cannot {what}: its output is "
                  "off; write Output to switch it on.", what)
        if self._state == DevState.MOVING and not self.AllowRetarget:
            _fail("PositionerDS_Moving", f"Axis {self.Axis} is moving; Stop it before you "
                  f"{what} (or set the property AllowRetarget).", what)

    # -- units ----------------------------------------------------------------

    def _user(self, raw):
        return raw * self.Scale

    def _raw(self, value, what):
        raw = round(value / self.Scale) if math.isfinite(value) else None
        if raw is None or not INT32_MIN <= raw <= INT32_MAX:
            _fail("PositionerDS_OutOfRange", f"{what} {value} is outside the controller's "
                  "32-bit position range.", what)
        return raw

    def _position_quality(self):
        return AttrQuality.ATTR_CHANGING if self._moving() else AttrQuality.ATTR_VALID

    def _reported(self, what):
        report = self._report
        if report is None:
            reason = self._link_status.reason if self._link_status else "no controller"
            _fail("PositionerDS_NoReport", f"{what} of axis {self.Axis} is not known: "
                  f"{reason or 'no report yet'}.", what)
        return report

    # -- attributes -------------------------------------------------------------

    @attribute(dtype=float, access=AttrWriteType.READ_WRITE, format="%.6g",
               doc="Position as last reported; writing it starts an absolute move")
    def Position(self):
        report = self._reported("Position")
        return self._user(report.position), time.time(), self._position_quality()

    @Position.write
    @_reports_errors
    def Position(self, value):
        self._start_move("start a move", "PositionerMoveAbsolute", self._raw(value, "Target"), 0)

    @attribute(dtype=float, format="%.6g", doc="Reference position as last reported")
    def ReferencePosition(self):
        return self._user(self._reported("ReferencePosition").reference)

    @attribute(dtype=bool, doc="The reference position is valid")
    def ReferenceValid(self):
        return self._reported("ReferenceValid").reference_valid

    @attribute(dtype=float, format="%.6g", doc="Speed as last reported (per second)")
    def Speed(self):
        return self._user(self._reported("Speed").speed)

    @attribute(dtype=float, format="%.6g", doc="Step width as last reported")
    def StepWidth(self):
        return self._user(self._reported("StepWidth").step_width)

    def initialize_dynamic_attributes(self):
        for setting in SETTINGS:
            self.add_attribute(tango_attribute(setting), self._read_setting,
                               self._write_setting)

    def _read_setting(self, attr):
        setting = SETTINGS_BY_NAME[attr.get_name()]
        if setting.getter is None:
            value = self._values.get(setting.name)
            if value is None:
                attr.set_quality(AttrQuality.ATTR_INVALID)  # not written since the start
                return
        else:
            value = self._query(setting.getter)
        attr.set_value(value)

    def _write_setting(self, attr):
        setting = SETTINGS_BY_NAME[attr.get_name()]
        value = attr.get_write_value()
        self._request(setting.setter, value)
        with self._lock:
            self._values[setting.name] = value
            self._update_state()

    def _call(self, function, *args):
        if self._link is None:
            raise LinkDown(self._status_text.rstrip("."))
        return self._link.request(function, *args)

    @_reports_errors
    def _query(self, getter):
        return self._call(getter, self.Axis)

    @_reports_errors
    def _request(self, setter, *args):
        return self._call(setter, self.Axis, *args)

    # -- commands -----------------------------------------------------------------

    @command
    @_reports_errors
    def Stop(self):
        """Stops every movement of the axis."""
        self._call("PositionerStopMoving", self.Axis)
        self._move_ended()

    @command(dtype_in=float, doc_in="Distance (in the unit of Position)")
    @_reports_errors
    def MoveRelative(self, distance):
        """Starts a move by the distance."""
        self._start_move("start a move", "PositionerMoveRelative",
                         self._raw(distance, "Distance"), 0)

    @command(dtype_in=int, doc_in="1 forward, 0 backward")
    @_reports_errors
    def Step(self, direction):
        """One single step (StepCount steps) in the direction."""
        # A step is over at once: no settle time, so that steps can follow
        # each other quickly.
        self._move_command("PositionerMoveSingleStep", direction, "step", settle=False)

    @command(dtype_in=int, doc_in="1 forward, 0 backward")
    @_reports_errors
    def MoveContinuous(self, direction):
        """Moves until Stop or the end of travel."""
        self._move_command("PositionerMoveContinuous", direction, "move continuously")

    def _move_command(self, function, direction, what, settle=True):
        if direction not in (BACKWARD, FORWARD):
            _fail("PositionerDS_BadDirection", f"Direction {direction}: use 1 (forward) or "
                  "0 (backward).", what)
        self._start_move(what, function, direction, settle=settle)

    @command
    @_reports_errors
    def MoveReference(self):
        """Moves to the reference mark; ReferencePosition is then valid."""
        self._start_move("move to the reference mark", "PositionerMoveReference")

    @command
    @_reports_errors
    def ResetPosition(self):
        """Sets the position counter to 0."""
        self._call("PositionerResetPosition", self.Axis)

    @command
    @_reports_errors
    def ClearStopDetection(self):
        """Clears a sticky stop detection."""
        self._call("PositionerClearStopDetection", self.Axis)

    @command(dtype_out=int, doc_out="Measured capacity (controller units)")
    @_reports_errors
    def MeasureCapacity(self):
        """Measures the capacity of the axis's actuator; waits up to 10 s
        (raise the client's time-out above that)."""
        return self._call("PositionerCapMeasure", self.Axis)

    @command(dtype_in=str, doc_in="Path of an axis configuration file on the server's host")
    @_reports_errors
    def LoadConfiguration(self, path):
        """Sends the parameters of an axis configuration file to the axis."""
        self._call("PositionerLoad", self.Axis, path)
