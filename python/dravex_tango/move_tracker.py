"""The move a device started on its axis, judged by the one rule for when a
move has ended (dravex._motion.move_outcome), without Tango."""
from __future__ import annotations

import math
from typing import Optional

from . import _dravex

Outcome = _dravex.Outcome


class MoveTracker:
    """Whether the move last started through the device still runs.

    start() when the move's command has been sent; judge() with every
    report of the axis (and at next_change(), when the rule may judge the
    same report otherwise). The move ends with the first outcome other than
    RUNNING; every outcome but ARRIVED means the axis must be halted (it may
    still drive, or keep its approach on).
    """

    def __init__(self) -> None:
        self._target: Optional[int] = None
        self._started: Optional[float] = None   # time.monotonic() of the command; None: no move
        self._timeout = math.inf

    @property
    def running(self) -> bool:
        return self._started is not None

    @property
    def target(self) -> Optional[int]:
        """The target of the running move (controller units), or None."""
        return self._target

    def start(self, target: Optional[int], timeout: float, now: float) -> None:
        """A move was sent at `now`: target in controller units, or None for
        a move without one (continuous, to the reference mark)."""
        self._target, self._started, self._timeout = target, now, timeout

    def cancel(self) -> None:
        """The device stopped the axis: the move is no longer judged."""
        self._target, self._started = None, None

    def judge(self, snapshot: _dravex.Snapshot, now: float) -> Optional[Outcome]:
        """None when no move runs; else the outcome of the move given the
        axis's last report (a dravex Snapshot); a move that has ended is no
        longer tracked."""
        if self._started is None:
            return None
        sample = _dravex.Sample(snapshot.position, snapshot.status)
        outcome = _dravex.move_outcome(sample, self._target, 0, now - self._started,
                                       self._timeout)
        if outcome is not Outcome.RUNNING:
            self.cancel()
        return outcome

    def next_change(self, now: float) -> float:
        """time.monotonic() at which the rule may judge the same report
        otherwise (the reports become fresh, or the time-out); inf when
        only a new report can end the move."""
        if self._started is None:
            return math.inf
        times = [t for t in (self._started + _dravex.REPORT_SETTLE,
                             self._started + self._timeout) if t > now]
        return min(times, default=math.inf)
