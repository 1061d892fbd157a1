"""Moves of one or more axes of one controller, started together and
waited for together; the blocking and the asyncio waits drive the same
MoveGroup, so both stop every axis they started when the wait fails."""
from __future__ import annotations

import asyncio
import sys
import time
from typing import TYPE_CHECKING, Awaitable, Callable, Dict, List, Optional, Tuple, TypeVar

if sys.version_info >= (3, 8):
    from typing import Protocol

from ._motion import MoveJudge, Outcome
from .errors import MotionError

if TYPE_CHECKING:
    from .axis import Axis

T = TypeVar("T")
Start = Callable[[], MoveJudge]  # sends a move (or nothing) and returns its judge


class Runner(Protocol):
    """Runs a blocking function where it may block (a worker thread)."""

    def __call__(self, function: Callable[[], T]) -> Awaitable[T]: ...


class MoveGroup:
    """The moves and their judges; every method makes blocking calls."""

    def __init__(self, starts: List[Tuple["Axis", Start]]) -> None:
        self._starts = starts
        self.started: List["Axis"] = []
        self.judges: Dict[int, MoveJudge] = {}
        self.positions: Dict[int, float] = {}
        self.failed: Optional[Tuple[MoveJudge, Outcome]] = None

    def start(self) -> None:
        for axis, start in self._starts:
            self.started.append(axis)  # stopped on failure even if sent in part
            self.judges[axis.number] = start()

    def poll(self) -> bool:
        """Reads every axis still waited for once; True when all arrived or
        one failed."""
        for axis in self.started:
            judge = self.judges.get(axis.number)
            if judge is None:
                continue
            sample = axis.sample()
            outcome = judge.outcome(sample, time.monotonic())
            if outcome is Outcome.ARRIVED:
                self.positions[axis.number] = axis.to_unit(sample.position)
                del self.judges[axis.number]
            elif outcome is not Outcome.RUNNING:
                self.failed = (judge, outcome)
                return True
        return not self.judges

    def fail(self) -> MotionError:
        """Stops every axis started (all first, then waits for each to
        stand) and returns the failure of the move that failed."""
        assert self.failed is not None
        judge, outcome = self.failed
        for axis in self.started:
            axis.stop()
        stopped = {axis.number: axis.settle() for axis in self.started}
        return judge.failure(outcome, stopped[judge.axis])

    def stop_quietly(self) -> None:
        """Stops every axis started while another exception is on its way."""
        for axis in self.started:
            axis.stop_quietly()


def wait(group: MoveGroup, poll_interval: float) -> Dict[int, float]:
    """Starts the group and blocks until every axis arrived; returns the
    positions. On any failure every axis started is stopped first."""
    try:
        group.start()
        while not group.poll():
            time.sleep(poll_interval)
    except BaseException:
        group.stop_quietly()
        raise
    if group.failed:
        raise group.fail()
    return group.positions


async def wait_async(group: MoveGroup, run: Runner,
                     poll_interval: float) -> Dict[int, float]:
    """wait() for asyncio: each blocking step goes through run (the
    controller's worker thread). Cancellation stops every axis started."""
    try:
        await run(group.start)
        while not await run(group.poll):
            await asyncio.sleep(poll_interval)
    except BaseException:
        # Shielded: a second cancellation must not skip the stop.
        await asyncio.shield(run(group.stop_quietly))
        raise
    if group.failed:
        raise await run(group.fail)
    return group.positions
