"""Judging a move from the controller's reports, shared by the blocking
and the asyncio waits.

A move has arrived when the axis stands (not moving) within the tolerance
of its target. The reports of the first REPORT_SETTLE seconds may still
describe the axis before the command, so an end of travel counts only after
them. The time-out and the end of travel raise; the caller stops the axis.
"""
from __future__ import annotations

import dataclasses
from typing import Callable

from .errors import EndOfTravel, MoveTimeout
from .status import Status

DEFAULT_MOVE_TIMEOUT = 120.0
"""Seconds a move may take by default: a move across the simulator's whole
travel (+-50,000,000 units at its default 1,000,000 units per second) takes
100 s. Pass timeout= for shorter or longer moves."""

REPORT_SETTLE = 0.3
"""Seconds after a command (or after opening) by which the controller has
reported the axis's new state; the command line waits as long."""


@dataclasses.dataclass(frozen=True)
class Sample:
    """One reading of an axis: position in controller units, and status."""
    position: int
    status: Status


class MoveJudge:
    """Decides from samples whether one axis's move has ended.

    Positions are in controller units; to_unit converts them for the
    exception (see Axis units)."""

    def __init__(self, axis: int, target: int, tolerance: int, started: float, timeout: float,
                 to_unit: Callable[[int], float], unit: str) -> None:
        self.axis, self.target, self.tolerance = axis, target, tolerance
        self.settled_at = started + REPORT_SETTLE
        self.deadline = started + timeout
        self.timeout = timeout
        self._to_unit, self._unit = to_unit, unit

    def arrived(self, sample: Sample, now: float) -> bool:
        """True once the axis stands at the target; raises EndOfTravel or
        MoveTimeout when the move has failed."""
        if not sample.status.moving and abs(sample.position - self.target) <= self.tolerance:
            return True
        if now >= self.settled_at and sample.status.end_of_travel:
            raise self._failure(EndOfTravel, sample, "reached the end of travel")
        if now >= self.deadline:
            raise self._failure(MoveTimeout, sample,
                                f"did not reach its target within {self.timeout:g} s")
        return False

    def _failure(self, kind: type, sample: Sample, what: str) -> Exception:
        target, position = self._to_unit(self.target), self._to_unit(sample.position)
        unit = f" {self._unit}" if self._unit else ""
        sentence = (f"axis {self.axis} {what} (target {target:g}{unit}, at {position:g}{unit}, "
                    f"status {sample.status}); the axis was stopped")
        error: Exception = kind(sentence, self.axis, target, position, sample.status)
        return error
