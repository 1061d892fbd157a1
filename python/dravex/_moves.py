"""Moves of one or more axes of one controller, started together and
waited for together; the blocking and the asyncio waits drive the same
MoveGroup, so both halt every axis they started when the wait fails. Both
wake on the monitor's reports (and at the rule's time boundaries), never on
a polling timer."""
from __future__ import annotations

import asyncio
import math
import sys
import time
from typing import TYPE_CHECKING, Awaitable, Callable, Dict, List, Optional, Tuple, TypeVar

if sys.version_info >= (3, 8):
    from typing import Protocol

from ._motion import MoveJudge, Outcome, Sample
from .errors import MotionError, NotConnected
from .monitor import Monitor

if TYPE_CHECKING:
    from .axis import Axis

T = TypeVar("T")
Start = Callable[[], MoveJudge]  # sends a move (or nothing) and returns its judge


class Runner(Protocol):
    """Runs a blocking function where it may block (a worker thread)."""

    def __call__(self, function: Callable[[], T]) -> Awaitable[T]: ...


class MoveGroup:
    """The moves and their judges. start, fail and stop_quietly make
    library calls; poll and next_change only read the monitor."""

    def __init__(self, starts: List[Tuple["Axis", Start]]) -> None:
        self._starts = starts
        self.started: List["Axis"] = []
        self.judges: Dict[int, MoveJudge] = {}
        self.positions: Dict[int, float] = {}
        self.failed: Optional[Tuple[MoveJudge, Outcome]] = None

    def start(self) -> None:
        for axis, start in self._starts:
            self.started.append(axis)  # halted on failure even if sent in part
            self.judges[axis.number] = start()

    def poll(self, monitor: Monitor) -> bool:
        """Judges every axis still waited for by its last report; True when
        all arrived or one failed."""
        if monitor.lost:
            raise NotConnected(function="move", detail="the connection to the controller was lost "
                               "during the move; check the controller, then open it again")
        now = time.monotonic()
        for axis in self.started:
            judge = self.judges.get(axis.number)
            if judge is None:
                continue
            snapshot = monitor.snapshot(axis.number)
            if snapshot.reported:
                outcome = judge.outcome(Sample(snapshot.position, snapshot.status), now)
            else:  # nothing reported yet: only the time-out can end the wait
                outcome = Outcome.TIMEOUT if now >= judge.started + judge.timeout else Outcome.RUNNING
            if outcome is Outcome.ARRIVED:
                self.positions[axis.number] = axis.to_unit(snapshot.position)
                del self.judges[axis.number]
            elif outcome is not Outcome.RUNNING:
                self.failed = (judge, outcome)
                return True
        return not self.judges

    def next_change(self) -> Optional[float]:
        """Seconds until the rule may judge the same reports otherwise; None
        when only a new report can."""
        now = time.monotonic()
        soonest = min((judge.next_change(now) for judge in self.judges.values()), default=math.inf)
        return None if soonest == math.inf else soonest

    def fail(self) -> MotionError:
        """Halts every axis started (all first, then waits for each to
        stand) and returns the failure of the move that failed."""
        assert self.failed is not None
        judge, outcome = self.failed
        for axis in self.started:
            axis.stop()
        stopped = {axis.number: axis.settle() for axis in self.started}
        return judge.failure(outcome, stopped[judge.axis])

    def stop_quietly(self) -> None:
        """Halts every axis started while another exception is on its way."""
        for axis in self.started:
            axis.stop_quietly()


def event_setter(event: asyncio.Event) -> Callable[..., None]:
    """A monitor listener (any arguments, called on the monitor's thread)
    that sets an asyncio event of the running loop."""
    loop = asyncio.get_running_loop()

    def wake(*_: object) -> None:
        try:
            loop.call_soon_threadsafe(event.set)
        except RuntimeError:  # the loop has closed meanwhile
            pass
    return wake


async def wait_or_timeout(event: asyncio.Event, timeout: Optional[float]) -> None:
    """Waits until the event is set or timeout seconds have passed. Not
    asyncio.wait_for: before Python 3.12 it swallows a cancellation that
    comes while the event is being set, and a cancelled move would go on."""
    timer = None
    if timeout is not None:
        timer = asyncio.get_running_loop().call_later(max(timeout, 0.0), event.set)
    try:
        await event.wait()
    finally:
        if timer is not None:
            timer.cancel()


def wait(group: MoveGroup, monitor: Monitor) -> Dict[int, float]:
    """Starts the group and blocks until every axis arrived; returns the
    positions. On any failure every axis started is halted first."""
    try:
        group.start()
        while True:
            generation = monitor.generation()
            if group.poll(monitor):
                break
            monitor.wait_for_change(generation, group.next_change())
    except BaseException:
        group.stop_quietly()
        raise
    if group.failed:
        raise group.fail()
    return group.positions


async def wait_async(group: MoveGroup, run: Runner, halt: Runner,
                     monitor: Monitor) -> Dict[int, float]:
    """wait() for asyncio: the start goes through run (the controller's
    worker thread), the halts through halt, which does not wait for the
    worker. Cancellation halts every axis started."""
    changed = asyncio.Event()
    wake = event_setter(changed)
    subscription = monitor.subscribe(wake, wake)
    try:
        await run(group.start)
        while True:
            changed.clear()
            if group.poll(monitor):
                break
            await wait_or_timeout(changed, group.next_change())
    except BaseException:
        # Shielded: a second cancellation must not skip the halt.
        await asyncio.shield(halt(group.stop_quietly))
        raise
    finally:
        subscription.cancel()
    if group.failed:
        raise await halt(group.fail)
    return group.positions
