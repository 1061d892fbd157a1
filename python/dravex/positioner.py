"""Pythonic layer over the Positioner API of libdravex.

    import dravex
    for info in dravex.find_controllers():
        print(info)
    with dravex.Controller(0) as controller:
        x = controller.axis(0)
        x.amplitude = 40000
        x.move_to(5000)
        print(x.position, x.status)

Thread safety: one Controller must not be used from several threads at
once (calls on one handle must not overlap); different Controllers may be
used from different threads. find_controllers() must not run while any
Controller is open.
"""
import collections
import time

from . import _positioner_api as api
from . import _tracing
from .errors import NotConnected, ReplyTimeout

BACKWARD, FORWARD = 0, 1
# Bit 0 of the packed status (PositionerGetStatus): the axis is moving.
STATUS_MOVING = 0x1

ControllerInfo = collections.namedtuple("ControllerInfo", "device hardware_id available")
ControllerInfo.__doc__ = """One controller of the last scan: its device number, its hardware id
(0 when not available) and whether it can be opened as a positioner."""


def load(path=None):
    """Loads libdravex (see _library for the search order) and returns it."""
    return api.library(path)


def find_controllers():
    """Scans USB and the local network (PositionerCheck) and returns one
    ControllerInfo per device number. The scan also resets tracing to
    standard error with the prefix "Positioner": call trace() afterwards."""
    return [ControllerInfo(device, hardware_id, not unavailable)
            for device, (hardware_id, unavailable) in enumerate(api.check_devices())]


def trace(on=True, log_file=None, flags=_tracing.DEFAULT_FLAGS, prefix=""):
    """Switches the trace output of libdravex: on, to log_file (None:
    standard error) with the flags; or off."""
    _tracing.configure(load(), on, log_file, flags, prefix)


class Controller:
    """One controller, opened by its device number of the last scan.

    Use it as a context manager, or call open() and close()."""

    def __init__(self, device=0):
        self.device = device
        self._handle = None

    def open(self):
        if self._handle is None:
            self._handle = api.call("PositionerConnect", self.device)
        return self

    def close(self):
        """Stops the receive thread and closes the connection (may take up
        to one receive time-out of the carrier)."""
        handle, self._handle = self._handle, None
        if handle is not None:
            api.call("PositionerClose", handle)

    def __enter__(self):
        return self.open()

    def __exit__(self, exc_type, exc, tb):
        try:
            self.close()
        except Exception:
            if exc_type is None:
                raise  # a failing close is reported unless another error is on its way

    @property
    def handle(self):
        return self._handle

    @property
    def is_open(self):
        return self._handle is not None

    def call(self, function, *args):
        """Calls any Positioner function with this controller's handle
        first, for example call("PositionerTriggerModeOut", 2). Returns the
        outputs of the function (None, one value or a tuple)."""
        if self._handle is None:
            # The handle number may already belong to another connection.
            raise NotConnected(function=function, detail="the controller is not open")
        return api.call(function, self._handle, *args)

    def axis(self, number):
        return Axis(self, number)

    def set_hardware_id(self, hardware_id):
        self.call("PositionerSetHardwareId", hardware_id)

    def __repr__(self):
        state = f"handle {self._handle}" if self.is_open else "closed"
        return f"<dravex.Controller device {self.device}, {state}>"


# Axis properties: name -> (getter, setter or None, description).
_AXIS_PROPERTIES = {
    "position": ("PositionerGetPosition", None, "last reported position (cached)"),
    "status": ("PositionerGetStatus", None, "last reported status, packed (cached)"),
    "rotation_count": ("PositionerGetRotCount", None, "last reported rotation count (cached)"),
    "reference": ("PositionerGetReference", None,
                  "(reference position, valid) as last reported (cached)"),
    "reference_rotation_count": ("PositionerGetReferenceRotCount", None,
                                 "rotation count at the reference mark (cached)"),
    "speed": ("PositionerGetSpeed", None, "last reported speed (cached)"),
    "step_width": ("PositionerGetStepwidth", None, "last reported step width (cached)"),
    "amplitude": ("PositionerGetAmplitude", "PositionerAmplitude", "drive amplitude, 0..140000"),
    "frequency": ("PositionerGetFrequency", "PositionerFrequency", "drive frequency, 0..20000"),
    "dc_level": ("PositionerGetDcLevel", "PositionerDCLevel", "DC level"),
    "dc_in": ("PositionerGetDcInEnable", "PositionerDcInEnable", "DC input enabled"),
    "ac_in": ("PositionerGetAcInEnable", "PositionerAcInEnable", "AC input enabled"),
    "int_enable": ("PositionerGetIntEnable", "PositionerIntEnable", "internal signal enabled"),
    "bandwidth_limit": ("PositionerGetBandwidthLimitEnable", "PositionerBandwidthLimitEnable",
                        "bandwidth limit enabled"),
}


class Axis:
    """One axis (0..5) of an open Controller. Cached properties read what
    the controller last reported by itself; the others ask the controller
    and wait up to 10 s for its answer (ReplyTimeout otherwise)."""

    def __init__(self, controller, number):
        self.controller = controller
        self.number = number

    def call(self, function, *args):
        """Calls a Positioner function with the handle and this axis first."""
        return self.controller.call(function, self.number, *args)

    def move_to(self, position, wait=True, timeout=10.0, rotation_count=0, tolerance=0,
                poll_interval=0.01):
        """Starts an absolute approach; with wait, returns the position once
        the controller reports it within tolerance of the target and not
        moving, or raises ReplyTimeout after timeout seconds."""
        self.call("PositionerMoveAbsolute", position, rotation_count)
        if wait:
            return self.wait_for(position, timeout, tolerance, poll_interval)
        return None

    def move_by(self, distance, wait=True, timeout=10.0, rotation_count=0, tolerance=0,
                poll_interval=0.01):
        """Starts a relative move; the target for wait is the last reported
        position plus distance."""
        target = self.position + distance
        self.call("PositionerMoveRelative", distance, rotation_count)
        if wait:
            return self.wait_for(target, timeout, tolerance, poll_interval)
        return None

    def wait_for(self, target, timeout=10.0, tolerance=0, poll_interval=0.01):
        """Polls the cached position and status until the axis stands at
        the target; returns the position. Needs a controller that reports
        position and status by itself."""
        deadline = time.monotonic() + timeout
        while True:
            position, status = self.position, self.status
            if abs(position - target) <= tolerance and not status & STATUS_MOVING:
                return position
            if time.monotonic() >= deadline:
                raise ReplyTimeout(function="wait_for", detail=(
                    f"axis {self.number} reports {position} (status 0x{status:x}), target "
                    f"{target} not reached within {timeout} s"))
            time.sleep(poll_interval)

    def step(self, direction=FORWARD):
        """One step; direction FORWARD (1) or BACKWARD (0)."""
        self.call("PositionerMoveSingleStep", direction)

    def continuous(self, direction=FORWARD):
        """Moves until stop()."""
        self.call("PositionerMoveContinuous", direction)

    def stop(self):
        self.call("PositionerStopMoving")

    def reset_position(self):
        self.call("PositionerResetPosition")

    def move_reference(self):
        self.call("PositionerMoveReference")

    def set_output(self, enable):
        self.call("PositionerSetOutput", enable)

    def measure_capacity(self):
        """Starts a capacity measurement and waits up to 10 s for its result."""
        return self.call("PositionerCapMeasure")

    def load(self, path):
        """Sends the parameters of an axis configuration file to this axis."""
        self.call("PositionerLoad", path)

    def __repr__(self):
        return f"<dravex.Axis {self.number} of {self.controller!r}>"


def _axis_property(getter, setter, doc):
    def read(axis):
        return axis.call(getter)

    def write(axis, value):
        axis.call(setter, value)

    return property(read, write if setter else None, doc=doc)


for _name, (_getter, _setter, _doc) in _AXIS_PROPERTIES.items():
    setattr(Axis, _name, _axis_property(_getter, _setter, _doc))
del _name, _getter, _setter, _doc
