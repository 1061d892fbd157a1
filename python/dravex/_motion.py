"""Judging a move from the controller's reports, shared by the blocking
and the asyncio waits.

A move has arrived when the axis stands (not moving) within the tolerance
of its target. The reports of the first REPORT_SETTLE seconds may still
describe the axis before the command, so an end of travel counts only after
them. On the time-out or the end of travel the caller stops the axis and
raises the judge's failure with the position where it stopped.
"""
from __future__ import annotations

import dataclasses
import enum
from typing import Callable, Type

from .errors import EndOfTravel, MotionError, MoveTimeout
from .status import Status

DEFAULT_MOVE_TIMEOUT = 120.0
"""Seconds a move may take by default: a move across the simulator's whole
travel (+-50,000,000 units at its default 1,000,000 units per second) takes
100 s. Pass timeout= for shorter or longer moves."""

REPORT_SETTLE = 0.3
"""Seconds after a command (or after opening) by which the controller has
reported the axis's new state; the command line waits as long."""


STOP_SETTLE = 1.0
"""Longest wait, after stopping an axis, for the controller to report it
standing."""


@dataclasses.dataclass(frozen=True)
class Sample:
    """One reading of an axis: position in controller units, and status."""
    position: int
    status: Status


class Outcome(enum.Enum):
    RUNNING = "running"
    ARRIVED = "arrived"
    END_OF_TRAVEL = "reached the end of travel"
    TIMEOUT = "did not reach its target"


class MoveJudge:
    """Decides from samples whether one axis's move has ended, and how.

    Positions are in controller units; to_unit converts them for the
    exception (see Axis units)."""

    def __init__(self, axis: int, target: int, tolerance: int, started: float, timeout: float,
                 to_unit: Callable[[int], float], unit: str) -> None:
        self.axis, self.target, self.tolerance = axis, target, tolerance
        self.settled_at = started + REPORT_SETTLE
        self.deadline = started + timeout
        self.timeout = timeout
        self._to_unit, self._unit = to_unit, unit

    def outcome(self, sample: Sample, now: float) -> Outcome:
        if not sample.status.moving and abs(sample.position - self.target) <= self.tolerance:
            return Outcome.ARRIVED
        if now >= self.settled_at and sample.status.end_of_travel:
            return Outcome.END_OF_TRAVEL
        if now >= self.deadline:
            return Outcome.TIMEOUT
        return Outcome.RUNNING

    def failure(self, outcome: Outcome, stopped: Sample) -> MotionError:
        """The exception of a failed move; stopped is the sample after the
        axis was stopped."""
        kind: Type[MotionError] = EndOfTravel if outcome is Outcome.END_OF_TRAVEL else MoveTimeout
        what = outcome.value
        if outcome is Outcome.TIMEOUT:
            what += f" within {self.timeout:g} s"
        target, position = self._to_unit(self.target), self._to_unit(stopped.position)
        unit = f" {self._unit}" if self._unit else ""
        sentence = (f"axis {self.axis} {what} (target {target:g}{unit}); it was stopped at "
                    f"{position:g}{unit}, status {stopped.status}")
        return kind(sentence, self.axis, target, position, stopped.status)
