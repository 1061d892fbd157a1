"""One axis of an open controller: its values as properties, and moves
that never leave the axis running when their wait fails."""
from __future__ import annotations

import dataclasses
import logging
import time
from typing import (TYPE_CHECKING, Any, Callable, Generic, NoReturn, Optional, Tuple, TypeVar,
                    Union, overload)

from ._library import PathLike
from . import _moves, ranges
from ._motion import DEFAULT_MOVE_TIMEOUT, STOP_SETTLE, MoveJudge, Sample
from ._moves import MoveGroup
from .status import Status

if TYPE_CHECKING:
    from .controller import Controller

BACKWARD, FORWARD = 0, 1
T = TypeVar("T")


@dataclasses.dataclass(frozen=True)
class AxisState:
    """Position (in the axis's unit) and status at one moment."""
    position: float
    status: Status


class _Value(Generic[T]):
    """A read-only axis property backed by a getter of the library."""

    def __init__(self, getter: str, convert: Callable[["Axis", Any], T], doc: str) -> None:
        self.getter, self.convert = getter, convert
        self.__doc__ = doc
        self.name = getter

    def __set_name__(self, owner: type, name: str) -> None:
        self.name = name

    @overload
    def __get__(self, axis: None, owner: Optional[type] = None) -> "_Value[T]": ...

    @overload
    def __get__(self, axis: "Axis", owner: Optional[type] = None) -> T: ...

    def __get__(self, axis: Optional["Axis"], owner: Optional[type] = None) -> Union[T, "_Value[T]"]:
        if axis is None:
            return self
        value: T = self.convert(axis, axis.call(self.getter))
        return value

    def __set__(self, axis: "Axis", value: NoReturn) -> None:
        raise AttributeError(f"{self.name} is reported by the controller and cannot be set")


class _Setting(_Value[T]):
    """An axis property the controller is asked for and that can be set."""

    def __init__(self, getter: str, setter: str, doc: str) -> None:
        super().__init__(getter, _unchanged, doc)
        self.setter = setter

    def __set__(self, axis: "Axis", value: T) -> None:
        axis.call(self.setter, value)


def _unchanged(axis: "Axis", value: T) -> T:
    return value


def _in_unit(axis: "Axis", value: int) -> float:
    return axis.to_unit(value)


def _reference(axis: "Axis", value: Tuple[int, bool]) -> Tuple[float, bool]:
    return axis.to_unit(value[0]), value[1]


class Axis:
    """One axis (0..5) of an open Controller.

    Cached properties (position, status, reference, speed, rotation counts,
    step width) read what the controller last reported by itself, without a
    telegram; the others ask the controller and wait up to 10 s for its
    answer (ReplyTimeout otherwise).

    Units: with scale (units per controller unit) and unit (a name), the
    position, the reference position, the speed and every target or
    distance are in that unit (positions are controller units * scale). Without
    a scale they are the library's integers, unchanged.

    Moves: move_to, move_by and wait_for wait for the controller's reports
    (the controller's monitor) and judge them by the one rule of
    dravex._motion. They halt the axis whenever their wait does not end at
    the target: MoveTimeout after timeout seconds (default
    DEFAULT_MOVE_TIMEOUT), EndOfTravel when the controller reports the end of
    travel, MoveStopped when the axis came to rest before its target (someone
    else stopped it), and any other exception (KeyboardInterrupt included)
    before it is re-raised. poll_interval is accepted for older callers and
    ignored: waits wake on reports.
    """

    position: _Value[float] = _Value("PositionerGetPosition", _in_unit,
                                     "Last reported position, in the axis's unit (cached).")
    reference: _Value[Tuple[float, bool]] = _Value(
        "PositionerGetReference", _reference,
        "(reference position in the axis's unit, whether it is valid) as last reported (cached).")
    speed: _Value[float] = _Value("PositionerGetSpeed", _in_unit,
                                  "Last reported speed, in the axis's unit per second (cached).")
    rotation_count: _Value[int] = _Value("PositionerGetRotCount", _unchanged,
                                         "Last reported rotation count (cached).")
    reference_rotation_count: _Value[int] = _Value(
        "PositionerGetReferenceRotCount", _unchanged,
        "Rotation count at the reference mark as last reported (cached).")
    step_width: _Value[int] = _Value("PositionerGetStepwidth", _unchanged,
                                     "Last reported step width, controller units (cached).")
    amplitude: _Setting[int] = _Setting(
        "PositionerGetAmplitude", "PositionerAmplitude",
        f"Drive amplitude, {ranges.text('PositionerAmplitude')} controller units (asks the controller).")
    frequency: _Setting[int] = _Setting(
        "PositionerGetFrequency", "PositionerFrequency",
        f"Drive frequency, {ranges.text('PositionerFrequency')} controller units (asks the controller).")
    dc_level: _Setting[int] = _Setting("PositionerGetDcLevel", "PositionerDCLevel",
                                       "DC level of the drive output, controller units (asks the controller).")
    dc_in: _Setting[bool] = _Setting("PositionerGetDcInEnable", "PositionerDcInEnable",
                                     "Whether the DC input is on (asks the controller).")
    ac_in: _Setting[bool] = _Setting("PositionerGetAcInEnable", "PositionerAcInEnable",
                                     "Whether the AC input is on (asks the controller).")
    int_enable: _Setting[bool] = _Setting("PositionerGetIntEnable", "PositionerIntEnable",
                                          "Whether the internal (INT) signal input is on (asks "
                                          "the controller).")
    bandwidth_limit: _Setting[bool] = _Setting("PositionerGetBandwidthLimitEnable",
                                               "PositionerBandwidthLimitEnable",
                                               "Whether the bandwidth limit is on (asks the "
                                               "controller).")

    def __init__(self, controller: "Controller", number: int, scale: Optional[float] = None,
                 unit: str = "") -> None:
        self.controller = controller
        self.number = number
        self.scale = scale
        """Units per controller unit, or None: values pass unchanged."""
        self.unit = unit
        """Name of the unit (for messages and displays only)."""

    # ---- units
    def to_unit(self, raw: int) -> float:
        """A position in controller units, in the axis's unit."""
        return raw if self.scale is None else raw * self.scale

    def to_raw(self, value: float) -> int:
        """A position in the axis's unit, in (rounded) controller units."""
        raw = value if self.scale is None else value / self.scale
        if self.scale is None and not isinstance(value, int):
            raise TypeError(f"axis {self.number} has no scale: positions are ints, not {value!r}")
        return int(round(raw))

    # ---- calls and readings
    def call(self, function: str, *args: Any) -> Any:
        """Calls a Positioner function with the handle and this axis first."""
        return self.controller.call(function, self.number, *args)

    @property
    def status(self) -> Status:
        """Last reported status, decoded (cached): moving, target_reached,
        end_of_travel, approach_active, reference_valid; .packed is the
        integer of PositionerGetStatus."""
        return Status(self.call("PositionerGetStatus"), self.call("PositionerGetReference")[1])

    def sample(self) -> Sample:
        """Position (controller units) and status as last reported."""
        return Sample(self.call("PositionerGetPosition"), self.status)

    def state(self) -> AxisState:
        """Position (in the axis's unit) and status as last reported."""
        sample = self.sample()
        return AxisState(self.to_unit(sample.position), sample.status)

    # ---- moves
    def start_move_to(self, target: float, timeout: Optional[float] = None,
                      rotation_count: int = 0, tolerance: float = 0) -> MoveJudge:
        """Starts an absolute approach and returns the judge of its wait
        (for waits of your own; move_to does both)."""
        self.controller.wait_for_reports()
        raw = self.to_raw(target)
        self.call("PositionerMoveAbsolute", raw, rotation_count)
        return self._judge(raw, timeout, tolerance)

    def start_move_by(self, distance: float, timeout: Optional[float] = None,
                      rotation_count: int = 0, tolerance: float = 0) -> MoveJudge:
        """Starts a relative move from the last reported position and
        returns the judge of its wait."""
        self.controller.wait_for_reports()
        raw_distance = self.to_raw(distance)
        target = self.call("PositionerGetPosition") + raw_distance
        self.call("PositionerMoveRelative", raw_distance, rotation_count)
        return self._judge(target, timeout, tolerance)

    def _judge(self, raw_target: int, timeout: Optional[float], tolerance: float) -> MoveJudge:
        limit = DEFAULT_MOVE_TIMEOUT if timeout is None else timeout
        raw_tolerance = abs(self.to_raw(tolerance)) if tolerance else 0
        return MoveJudge(self.number, raw_target, raw_tolerance, time.monotonic(), limit,
                         self.to_unit, self.unit)

    def move_to(self, target: float, wait: bool = True, timeout: Optional[float] = None,
                rotation_count: int = 0, tolerance: float = 0,
                poll_interval: float = 0.01) -> Optional[float]:
        """Starts an absolute approach to target; with wait, returns the
        position once the axis has arrived: it stands within tolerance of the
        target, or with the controller's target-reached flag.

        Raises MoveTimeout after timeout seconds (None: DEFAULT_MOVE_TIMEOUT),
        EndOfTravel when the controller reports the end of travel and
        MoveStopped when the axis came to rest elsewhere; the axis is halted
        then, and on any other exception during the wait."""
        return self._move(lambda: self.start_move_to(target, timeout, rotation_count, tolerance),
                          wait, poll_interval)

    def move_by(self, distance: float, wait: bool = True, timeout: Optional[float] = None,
                rotation_count: int = 0, tolerance: float = 0,
                poll_interval: float = 0.01) -> Optional[float]:
        """Starts a relative move; the target is the last reported position
        plus distance. Waits and stops as move_to does."""
        return self._move(lambda: self.start_move_by(distance, timeout, rotation_count, tolerance),
                          wait, poll_interval)

    def wait_for(self, target: float, timeout: Optional[float] = None, tolerance: float = 0,
                 poll_interval: float = 0.01) -> float:
        """Waits until the axis has arrived at target (for a move started
        otherwise); halts the axis as move_to does."""
        judge = self._judge(self.to_raw(target), timeout, tolerance)
        return self.wait(judge, poll_interval)

    def wait(self, judge: MoveJudge, poll_interval: float = 0.01) -> float:
        """Waits for the move a start_move_* call returned the judge of."""
        group = MoveGroup([(self, lambda: judge)])
        return _moves.wait(group, self.controller.monitor)[self.number]

    def _move(self, start: Callable[[], MoveJudge], wait: bool,
              poll_interval: float) -> Optional[float]:
        group = MoveGroup([(self, start)])
        if wait:
            return _moves.wait(group, self.controller.monitor)[self.number]
        try:
            group.start()
        except BaseException:
            group.stop_quietly()  # the move may have been sent in part
            raise
        return None

    def stop(self) -> None:
        """Halts the axis (PositionerHalt): ends its absolute approach, so
        that the controller does not drive it back to the target, and stops
        every movement. Goes out at once, from any thread."""
        self.call("PositionerHalt")

    def settle(self) -> Sample:
        """After a stop: waits (at most STOP_SETTLE seconds) until the
        controller reports the axis standing; returns that sample."""
        monitor = self.controller.monitor
        deadline = time.monotonic() + STOP_SETTLE
        while True:
            generation = monitor.generation()
            sample = self.sample()
            remaining = deadline - time.monotonic()
            if not sample.status.moving or remaining <= 0 or monitor.lost:
                return sample
            monitor.wait_for_change(generation, remaining)

    def stop_quietly(self) -> None:
        """Stops the axis and waits for it to stand while another exception
        is on its way: a failure is added to that exception as a note, not
        raised."""
        try:
            self.stop()
            self.settle()
        except Exception as error:  # the exception on its way matters more
            _note_failed_stop(self.number, error)

    def step(self, direction: int = FORWARD) -> None:
        """One step; direction FORWARD (1) or BACKWARD (0)."""
        self.call("PositionerMoveSingleStep", direction)

    def continuous(self, direction: int = FORWARD) -> None:
        """Moves until stop(); direction FORWARD (1) or BACKWARD (0)."""
        self.call("PositionerMoveContinuous", direction)

    def reset_position(self) -> None:
        """Sets the position counter to 0 where the axis stands."""
        self.call("PositionerResetPosition")

    def move_reference(self) -> None:
        """Starts a move to the reference mark (no wait)."""
        self.call("PositionerMoveReference")

    def set_output(self, enable: bool) -> None:
        """Switches the axis's drive output on or off."""
        self.call("PositionerSetOutput", enable)

    def measure_capacity(self) -> int:
        """Starts a capacity measurement and waits up to 10 s for its result."""
        value: int = self.call("PositionerCapMeasure")
        return value

    def load(self, path: PathLike) -> None:
        """Sends the parameters of an axis configuration file to this axis."""
        self.call("PositionerLoad", path)

    def __repr__(self) -> str:
        unit = f", {self.scale:g} {self.unit} per unit" if self.scale is not None else ""
        return f"<dravex.Axis {self.number}{unit} of {self.controller!r}>"


def _note_failed_stop(axis: int, error: Exception) -> None:
    note = f"stopping axis {axis} failed as well: {error}"
    pending = error.__context__  # the exception that was on its way
    if pending is not None and hasattr(pending, "add_note"):
        pending.add_note(note)
    else:
        logging.getLogger("dravex").error(note)
