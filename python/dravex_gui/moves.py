"""Follows the moves started from the window (Go to, Go by) and says how
each ended, by the package's one rule (dravex._motion: the MoveJudge that
starting the move returned). Any end but the arrival halts the axis and,
once it stands (at most STOP_SETTLE seconds), says where it stopped. Runs
on the GUI thread; judges on every report and at the rule's own time
boundaries."""
import dataclasses
import math
import time
from typing import Any, Callable, Dict, Iterable, Optional, Tuple

from PyQt5.QtCore import QObject, QTimer, pyqtSignal, pyqtSlot

from dravex._motion import STOP_SETTLE, Outcome, Sample

from . import backend

Halt = Callable[[Tuple[int, ...]], None]


@dataclasses.dataclass
class FollowedMove:
    action: str              # "Moving to 250.000 um (axis 4)"
    judge: Any               # dravex MoveJudge
    outcome: Outcome = Outcome.RUNNING
    settled_by: float = 0.0  # once halted: when to report even if still moving


class MoveFollower(QObject):
    started = pyqtSignal(str)  # "Moving to ... (axis N)...": replaces the last move's outcome
    arrived = pyqtSignal(str)  # one sentence
    failed = pyqtSignal(str)   # one sentence

    def __init__(self, halt: Halt, parent: Optional[QObject] = None) -> None:
        super().__init__(parent)
        self._halt = halt
        self._moves: Dict[int, FollowedMove] = {}
        self._latest: Dict[int, Any] = {}  # axis -> dravex Snapshot
        self._timer = QTimer(self)
        self._timer.setSingleShot(True)
        self._timer.timeout.connect(self._judge_all)

    def follow(self, action: str, judge: Any) -> None:
        """A move was sent; a new move of the axis replaces its old one."""
        self._moves[judge.axis] = FollowedMove(action, judge)
        self.started.emit(f"{action}...")
        self._judge(judge.axis, time.monotonic())
        self._schedule()

    def forget(self, axes: Iterable[int]) -> None:
        """The window stopped these axes itself: their moves end unreported."""
        for axis in axes:
            self._moves.pop(axis, None)
        self._schedule()

    def report(self, axis: int, snapshot: Any) -> None:
        self._latest[axis] = snapshot
        if axis in self._moves:
            self._judge(axis, time.monotonic())
            self._schedule()

    @pyqtSlot()
    def _judge_all(self) -> None:
        now = time.monotonic()
        for axis in list(self._moves):
            self._judge(axis, now)
        self._schedule()

    def _judge(self, axis: int, now: float) -> None:
        move, snapshot = self._moves[axis], self._latest.get(axis)
        if snapshot is None:
            return  # nothing reported yet
        sample = Sample(snapshot.position, snapshot.status)
        if move.outcome is Outcome.RUNNING:
            move.outcome = move.judge.outcome(sample, now)
            if move.outcome is Outcome.ARRIVED:
                del self._moves[axis]
                self.arrived.emit(f"{move.action}: arrived.")
                return
            if move.outcome is Outcome.RUNNING:
                return
            move.settled_by = now + STOP_SETTLE
            self._halt((axis,))
        if not sample.status.moving or now >= move.settled_by:
            del self._moves[axis]
            self.failed.emit(backend.sentence(move.judge.failure(move.outcome, sample),
                                              move.action))

    def _schedule(self) -> None:
        now = time.monotonic()
        soonest = min((move.settled_by - now if move.outcome is not Outcome.RUNNING
                       else move.judge.next_change(now) for move in self._moves.values()),
                      default=math.inf)
        if soonest == math.inf:
            self._timer.stop()
        else:
            self._timer.start(max(0, math.ceil(soonest * 1000)))
