"""The one place where the GUI meets the dravex package.

Every function here that takes a controller runs on that controller's
worker thread or on its stop line (never on the GUI thread); Library.scan
and Library.open run on the scan thread and on the worker threads. The
rest of the GUI sees plain values (ControllerEntry rows, AxisState
readings, Target descriptions, move judges) and never imports dravex.
"""
import dataclasses
import threading
from typing import Any, List, Optional, Tuple, Union

import dravex
from dravex import ranges
from dravex.errors import result_text

AXES = range(dravex.AXES)
LOGGER_NAME = "dravex"

# Drive parameters: name -> (setter, querying getter, lowest, highest).
# The library checks amplitude and frequency; it gives the DC level no
# range, so the GUI offers the full signed 32-bit one.
DRIVE_PARAMETERS = {
    "amplitude": ("PositionerAmplitude", "PositionerGetAmplitude",
                  *ranges.limits("PositionerAmplitude")),
    "frequency": ("PositionerFrequency", "PositionerGetFrequency",
                  *ranges.limits("PositionerFrequency")),
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
    """What the controller last reported for one axis, in the shown unit."""
    position: Number
    speed: Number
    status: Any  # dravex.Status: .moving, .target_reached, ... and .packed

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


def move_absolute(controller: Any, axis: int, target: Number) -> Any:
    """Starts the approach; returns its dravex MoveJudge (see moves.py)."""
    return controller.axis(axis).start_move_to(target)


def move_relative(controller: Any, axis: int, distance: Number) -> Any:
    """Starts the move; returns its dravex MoveJudge (see moves.py)."""
    return controller.axis(axis).start_move_by(distance)


def step(controller: Any, axis: int, forward: bool) -> None:
    controller.axis(axis).step(dravex.FORWARD if forward else dravex.BACKWARD)


def jog(controller: Any, axis: int, forward: bool) -> None:
    controller.axis(axis).continuous(dravex.FORWARD if forward else dravex.BACKWARD)


def halt(controller: Any, axes: Tuple[int, ...]) -> None:
    """PositionerHalt of each axis (ends the approach, then stops): sent at
    once, whatever another thread waits for on the same controller. Tries
    every axis before raising the first failure."""
    failure: Optional[BaseException] = None
    for axis in axes:
        try:
            controller.axis(axis).stop()
        except dravex.DravexError as error:
            failure = failure or error
    if failure is not None:
        raise failure


def halt_all(controller: Any) -> None:
    """PositionerHaltAll: halts the six axes with one call."""
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
    """One sentence: what failed (action) and what to do. A result code
    gives the library's own sentence for it (PositionerResultText); a
    failure without one (a move, a scan that found nothing, a value) gives
    the package's sentence."""
    code = getattr(error, "code", None)
    reason = result_text(code) if code is not None else str(error)
    return f"{action} failed: {reason[:1].lower()}{reason[1:].rstrip('.')}."


def lost_sentence(name: str) -> str:
    """The sentence for a controller whose connection ended."""
    return sentence(dravex.NotConnected(), f"The connection to {name}")


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
