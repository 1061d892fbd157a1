"""The move state of a device (move_tracker.MoveTracker) without Tango:
the rule of dravex._motion applied to reports as they arrive."""
import math

from dravex import Status
from dravex.monitor import Snapshot
from dravex.status import StatusFlag

from dravex_tango.move_tracker import MoveTracker, Outcome

STANDING, MOVING, AT_END = Status(0), Status(StatusFlag.MOVING), Status(StatusFlag.END_OF_TRAVEL)


def report(position, status):
    return Snapshot(position, status, 0, 1.0)


def test_a_move_runs_until_the_rule_ends_it():
    move = MoveTracker()
    assert move.judge(report(0, STANDING), 0.0) is None           # no move started
    move.start(1000, 5.0, now=10.0)
    # Standing where it was: an old report, until the reports are fresh.
    assert move.judge(report(0, STANDING), 10.1) is Outcome.RUNNING
    assert move.next_change(10.1) == 10.3
    assert move.judge(report(500, MOVING), 10.5) is Outcome.RUNNING
    assert move.judge(report(1000, STANDING), 10.6) is Outcome.ARRIVED
    assert not move.running and move.next_change(10.6) == math.inf

    move.start(None, math.inf, now=20.0)                           # continuous
    assert move.judge(report(9000, AT_END), 20.1) is Outcome.RUNNING
    assert move.judge(report(9000, AT_END), 20.4) is Outcome.END_OF_TRAVEL

    move.start(1000, 5.0, now=30.0)
    assert move.judge(report(400, STANDING), 30.5) is Outcome.STOPPED
    move.start(1000, 5.0, now=40.0)
    assert move.judge(report(400, MOVING), 45.0) is Outcome.TIMEOUT
    move.start(1000, 5.0, now=50.0)
    move.cancel()
    assert move.judge(report(400, MOVING), 50.5) is None
