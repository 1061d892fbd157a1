"""The one place where the GUI meets the dravex package.

Every function here that takes a controller runs on that controller's
worker thread (never on the GUI thread); Library.scan and Library.open
run on the scan thread and on the worker threads. The rest of the GUI
sees plain values (ControllerEntry rows, AxisState snapshots, Target
descriptions) and never imports dravex.
"""
import dataclasses
import threading
from typing import Any, List, Optional, Tuple, Union

import dravex

AXES = range(dravex.AXES)
LOGGER_NAME = "dravex"

# Drive parameters: name -> (setter, querying getter, lowest, highest).
# The library checks amplitude and frequency; it gives the DC level no
# range, so the GUI offers the full signed 32-bit one.
DRIVE_PARAMETERS = {
    "amplitude": ("PositionerAmplitude", "PositionerGetAmplitude", 0, 140000),
    "frequency": ("PositionerFrequency", "PositionerGetFrequency", 0, 20000),
    "dc level": ("PositionerDCLevel", "PositionerGetDcLevel", -2**31, 2**31 - 1),
}
# The status lights: (label, attribute of dravex.Status).
STATUS_FLAGS = (("moving", "moving"), ("target reached", "target_reached"),
                ("end of travel", "end_of_travel"), ("reference valid", "reference_valid"))

LibraryError = dravex.DravexError
NotConnected = dravex.NotConnected
Number = Union[int, float]


@dataclasses.dataclass(frozen=True)
class ControllerEntry:
    """One row of the controller list."""
    hardware_id: Optional[int]
    carrier: str
    address: str
    devices: Tuple[int, ...]

    def target(self) -> "Target":
        if self.carrier == "tcp":
            return Target(address=self.address, hardware_id=self.hardware_id)
        return Target(device=self.devices[0], hardware_id=self.hardware_id)


@dataclasses.dataclass(frozen=True)
class Target:
    """How to reach a controller again: by address (network), else by its
    device number of the last scan (USB)."""
    address: str = ""
    device: Optional[int] = None
    hardware_id: Optional[int] = None

    def same_controller(self, other: "Target") -> bool:
        """Whether both name one controller (so that it gets one handle)."""
        if self.hardware_id is not None and other.hardware_id is not None:
            return self.hardware_id == other.hardware_id
        if self.address or other.address:
            return self.address == other.address
        return self.device == other.device

    def describe(self) -> str:
        name = self.address or f"device {self.device}"
        return name if self.hardware_id is None else f"{name} (id {self.hardware_id})"

    def settings_key(self) -> str:
        """Names the controller's settings file: its hardware id when
        known, else its address or device number."""
        if self.hardware_id is not None:
            return f"id-{self.hardware_id}"
        return self.address or f"device-{self.device}"


@dataclasses.dataclass(frozen=True)
class AxisState:
    """What the controller last reported for one axis, in the axis's unit."""
    position: Number
    speed: Number
    status: Any  # dravex.Status: .moving, .target_reached, ... and .packed
    scale: Optional[float]  # the axis's scale when read (None: controller units)

    def flag(self, attribute: str) -> bool:
        return bool(getattr(self.status, attribute))


def find_controllers() -> List[ControllerEntry]:
    """Scans and returns one row per available controller."""
    return [ControllerEntry(info.hardware_id, info.carrier, info.address, info.devices)
            for info in dravex.find_controllers() if info.available]


def open_controller(target: Target) -> Any:
    """An open dravex.Controller for the target."""
    if target.address:
        return dravex.Controller(address=target.address).open()
    return dravex.Controller(device=target.device).open()


def identify(controller: Any, target: Target) -> Target:
    """The target, completed by what opening the controller told."""
    hardware_id = target.hardware_id if controller.hardware_id is None else controller.hardware_id
    return Target(controller.address or target.address, controller.device, hardware_id)


def close_controller(controller: Any) -> None:
    controller.close()


def set_unit(controller: Any, axis: int, scale: Optional[float], unit: str) -> None:
    """Positions, targets and speeds of the axis are in this unit from now
    on (scale None: the controller's integers, unchanged)."""
    controller.axis(axis).scale = scale
    controller.axis(axis).unit = unit


def read_axes(controller: Any) -> Tuple[AxisState, ...]:
    """Cached values only: these calls never wait for the controller."""
    states = []
    for axis in controller.axes:
        state = axis.state()
        states.append(AxisState(state.position, axis.speed, state.status, axis.scale))
    return tuple(states)


def move_absolute(controller: Any, axis: int, target: Number) -> None:
    controller.axis(axis).start_move_to(target)


def move_relative(controller: Any, axis: int, distance: Number) -> None:
    controller.axis(axis).start_move_by(distance)


def step(controller: Any, axis: int, forward: bool) -> None:
    controller.axis(axis).step(dravex.FORWARD if forward else dravex.BACKWARD)


def jog(controller: Any, axis: int, forward: bool) -> None:
    controller.axis(axis).continuous(dravex.FORWARD if forward else dravex.BACKWARD)


def stop(controller: Any, axis: int) -> None:
    controller.axis(axis).stop()


def stop_all(controller: Any) -> None:
    """Tries every axis before raising the first failure."""
    controller.stop_all()


def set_output(controller: Any, axis: int, enable: bool) -> None:
    controller.axis(axis).set_output(enable)


def set_parameter(controller: Any, axis: int, name: str, value: int) -> None:
    controller.axis(axis).call(DRIVE_PARAMETERS[name][0], value)


def read_parameters(controller: Any, axis: int) -> Tuple[int, ...]:
    """Asks the controller; each value may take up to 10 s to arrive."""
    return tuple(controller.axis(axis).call(getter)
                 for _, getter, _, _ in DRIVE_PARAMETERS.values())


def load_configuration(controller: Any, axis: int, path: str) -> None:
    controller.axis(axis).load(path)


def sentence(error: BaseException, action: str) -> str:
    """One sentence: what failed and what to do."""
    if "check" in str(error):
        return f"{action} failed ({error})."  # the package already says what to do
    if isinstance(error, dravex.NotConnected):
        advice = "check the cable or network, then reconnect"
    elif isinstance(error, dravex.ReplyTimeout):
        advice = "the controller did not answer; check that it is powered, then try again"
    elif isinstance(error, (dravex.InvalidParameter, ValueError, TypeError)):
        advice = "check the value or the file"
    elif isinstance(error, (dravex.ControllerNotFound, dravex.SeveralControllers)):
        advice = "rescan, or open the controller by its address"
    else:
        advice = "see the log for details"
    return f"{action} failed ({error}); {advice}."


class Library:
    """What the scan and the controllers' worker threads share: the lock
    that keeps a scan apart from opening a controller (the library allows
    neither to overlap the other), and the routing of its trace lines."""

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._log_routed = False

    def scan(self) -> List[ControllerEntry]:
        with self._lock:
            self._route_log()
            return find_controllers()

    def open(self, target: Target) -> Any:
        with self._lock:
            self._route_log()
            return open_controller(target)

    def _route_log(self) -> None:
        """Library trace lines into logging.getLogger("dravex"): set once,
        before the first controller opens; the setting survives scans."""
        if not self._log_routed:
            dravex.trace_to_logging(LOGGER_NAME)
            self._log_routed = True
