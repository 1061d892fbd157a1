"""The one rule for when a move has ended, used by blocking moves,
dravex.aio, the desktop program and the Tango server (the command line
applies the same rule in tools/positioner/moves.cpp).

A move ends in one of four ways:

  ARRIVED        the axis stands within the tolerance of its target, or,
                 once the reports are fresh, stands with the controller's
                 target-reached flag;
  END_OF_TRAVEL  once the reports are fresh, the controller reports the end
                 of travel;
  STOPPED        once the reports are fresh, the axis stands without either:
                 someone else stopped it;
  TIMEOUT        the time allowed has passed.

Reports are fresh REPORT_SETTLE seconds after the command: earlier ones may
still describe the axis before it. A move without a target (continuous)
can only end by END_OF_TRAVEL, STOPPED or TIMEOUT. On every outcome but
ARRIVED the caller halts the axis and raises the failure with the position
where it stopped.
"""
from __future__ import annotations

import dataclasses
import enum
import math
from typing import Callable, Dict, Optional, Type

from .errors import EndOfTravel, MotionError, MoveStopped, MoveTimeout
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
    STOPPED = "was stopped before its target"
    TIMEOUT = "did not reach its target"


_FAILURES: Dict[Outcome, Type[MotionError]] = {
    Outcome.END_OF_TRAVEL: EndOfTravel, Outcome.STOPPED: MoveStopped, Outcome.TIMEOUT: MoveTimeout}


def move_outcome(sample: Sample, target: Optional[int], tolerance: int, elapsed: float,
                 timeout: float) -> Outcome:
    """The rule of this module: how the move stands, elapsed seconds after
    its command, given the axis's last report (positions in controller
    units; target None for a move without one)."""
    standing = not sample.status.moving
    if standing and target is not None and abs(sample.position - target) <= tolerance:
        return Outcome.ARRIVED
    if elapsed >= timeout:
        return Outcome.TIMEOUT
    if elapsed < REPORT_SETTLE:
        return Outcome.RUNNING
    if standing and target is not None and sample.status.target_reached:
        return Outcome.ARRIVED
    if sample.status.end_of_travel:
        return Outcome.END_OF_TRAVEL
    return Outcome.STOPPED if standing else Outcome.RUNNING


class MoveJudge:
    """Applies the rule to one axis's move started at `started`
    (time.monotonic()).

    Positions are in controller units; to_unit converts them for the
    exception (see Axis units)."""

    def __init__(self, axis: int, target: Optional[int], tolerance: int, started: float,
                 timeout: float, to_unit: Callable[[int], float], unit: str) -> None:
        self.axis, self.target, self.tolerance = axis, target, tolerance
        self.started, self.timeout = started, timeout
        self._to_unit, self._unit = to_unit, unit

    def outcome(self, sample: Sample, now: float) -> Outcome:
        return move_outcome(sample, self.target, self.tolerance, now - self.started,
                            self.timeout)

    def next_change(self, now: float) -> float:
        """Seconds from now until the rule may judge the same report
        otherwise (the reports become fresh, or the time-out); inf when
        only a new report can change the outcome."""
        times = [t - now for t in (self.started + REPORT_SETTLE, self.started + self.timeout)
                 if t > now]
        return min(times, default=math.inf)

    def failure(self, outcome: Outcome, stopped: Sample) -> MotionError:
        """The exception of a failed move; stopped is the sample after the
        axis was halted."""
        what = outcome.value
        if outcome is Outcome.TIMEOUT:
            what += f" within {self.timeout:g} s"
        unit = f" {self._unit}" if self._unit else ""
        target = math.nan if self.target is None else self._to_unit(self.target)
        aim = "" if self.target is None else f" (target {target:g}{unit})"
        position = self._to_unit(stopped.position)
        sentence = (f"axis {self.axis} {what}{aim}; it was stopped at {position:g}{unit}, "
                    f"status {stopped.status}")
        return _FAILURES[outcome](sentence, self.axis, target, position, stopped.status)
