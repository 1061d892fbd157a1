"""The delivery order of a controller link (link.ControllerLink) without
Tango: a fake controller whose monitor reports from the test's thread, as
the real monitor's thread does."""
import contextlib
import threading
import time

from dravex import Status
from dravex.monitor import Snapshot

from dravex_tango.link import ControllerLink, ControllerTarget


class FakeMonitor:
    def __init__(self):
        self.snapshots = {}
        self.listeners = []

    def subscribe(self, on_report, on_lost):
        self.listeners.append((on_report, on_lost))
        return self

    def cancel(self):
        self.listeners.clear()

    def snapshot(self, axis):
        return self.snapshots.get(axis, Snapshot())

    def report(self, axis, position):
        self.snapshots[axis] = snapshot = Snapshot(position, Status(0), 0, time.monotonic())
        for on_report, _ in list(self.listeners):
            on_report(axis, snapshot)

    def lose(self):
        for _, on_lost in list(self.listeners):
            on_lost()


class FakeController:
    def __init__(self):
        self.monitor = FakeMonitor()

    def close(self):
        pass


class Recorder:
    def __init__(self):
        self.seen = []

    def link_status(self, status):
        self.seen.append("up" if status.up else "down")

    def axis_report(self, snapshot):
        self.seen.append(snapshot.position)


def wait_until(condition):
    deadline = time.monotonic() + 5
    while not condition():
        assert time.monotonic() < deadline, "timed out"
        time.sleep(0.01)


@contextlib.contextmanager
def watched_link(opener, axis):
    """A started link (opener makes its controllers) and a recorder watching axis."""
    link = ControllerLink(ControllerTarget("10.0.0.1", None), opener, threading.Lock())
    recorder = Recorder()
    link.watch(axis, recorder)
    link.start()
    try:
        yield link, recorder
    finally:
        link.stop()


def test_reports_follow_the_link_status_in_order_and_stop_at_unwatch():
    controllers = []
    opened = threading.Event()

    def opener(target):
        controller = FakeController()
        controller.monitor.snapshots[0] = Snapshot(5, Status(0), 0, 1.0)   # reported before
        controllers.append(controller)
        opened.set()
        return controller

    with watched_link(opener, 0) as (link, recorder):
        wait_until(lambda: "up" in recorder.seen)
        first = controllers[0]
        first.monitor.report(0, 6)
        first.monitor.report(1, 99)           # another axis: not delivered
        # The status first, then what was reported before it, then each report.
        assert recorder.seen == ["down", "up", 5, 6]

        # A lost connection: down, then the reopened controller's reports;
        # a late report of the closed one is dropped.
        on_report_of_first = first.monitor.listeners[0][0]
        first.monitor.lose()
        wait_until(lambda: len(controllers) == 2 and recorder.seen[-1] != "down")
        on_report_of_first(0, Snapshot(7, Status(0), 0, 2.0))
        controllers[1].monitor.report(0, 8)
        assert recorder.seen == ["down", "up", 5, 6, "down", "up", 5, 8]

        link.unwatch(0, recorder)
        controllers[1].monitor.report(0, 9)
        assert recorder.seen[-1] == 8


def test_a_recheck_redelivers_the_last_report_when_due():
    controller = FakeController()
    controller.monitor.snapshots[2] = Snapshot(42, Status(0), 0, 1.0)
    with watched_link(lambda target: controller, 2) as (link, recorder):
        wait_until(lambda: recorder.seen == ["down", "up", 42])
        link.recheck(recorder, time.monotonic() + 0.05)
        link.recheck(recorder, float("inf"))   # cancelled
        time.sleep(0.2)
        assert recorder.seen == ["down", "up", 42]
        link.recheck(recorder, time.monotonic() + 0.05)
        wait_until(lambda: recorder.seen == ["down", "up", 42, 42])


def test_after_a_loss_the_reopening_waits_between_attempts():
    attempts, first = [], FakeController()

    def opener(target):
        attempts.append(time.monotonic())
        if len(attempts) > 1:
            raise OSError("refused")
        return first

    with watched_link(opener, 0) as (link, recorder):
        wait_until(lambda: "up" in recorder.seen)
        first.monitor.lose()
        wait_until(lambda: len(attempts) >= 2)
        time.sleep(0.5)                       # the retries: 0.25 s, then 0.5 s later
        assert 2 <= len(attempts) <= 3, f"{len(attempts)} attempts to reopen in 0.5 s"
        assert recorder.seen[-1] == "down"
