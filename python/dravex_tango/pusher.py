"""Hands what a controller link delivers to one Tango device, on a thread
of the device's own, under the device monitor.

The link must never wait for one device (a request of the device may hold
its monitor for seconds while the controller is slow): it files each
delivery here and goes on. The pusher's thread takes the device monitor,
the lock of everything the device does, and applies the deliveries filed
meanwhile in one turn. Reports that follow each other coalesce to the
newest; a change of the link stays in order between them.
"""
import logging
import threading
import time
from typing import Any, Callable, List

import tango

log = logging.getLogger(__name__)

# Deliveries filed while the device's thread waits: a change of the link
# every few seconds at most, so this holds only when a device hangs.
MOST_PENDING = 64
# The device monitor stays free at least this long between two turns, so
# that a request waiting for it takes it first: Tango's monitor goes to
# whoever asks first after a release, and reports that keep coming would
# otherwise hold it away from requests (and from the server's own start,
# which times out after 3.2 s). Reports every 10 ms leave longer gaps by
# themselves: then the thread does not pause.
TURN_GAP_S = 0.001

Apply = Callable[[str, Any], None]


class Pusher:
    """apply(kind, value) runs under the device monitor for every delivery
    filed by file(kind, value); kind "report" coalesces with a report
    before it."""

    def __init__(self, device: Any, apply: Apply, name: str) -> None:
        self._device = device
        self._apply = apply
        self._name = name
        # One plain lock and a wake-up lock rather than a Condition: the
        # thread turns about a hundred times a second, and every blocking
        # step of a turn hands the GIL to other threads.
        self._lock = threading.Lock()             # guards the three below
        self._pending: List[List[Any]] = []       # [kind, value]
        self._closed = False
        self._sleeping = False                    # the thread waits for _wake
        self._wake = threading.Lock()             # released once to wake the thread
        self._wake.acquire()
        self._thread = threading.Thread(target=self._run, name=f"push {name}", daemon=True)
        self._thread.start()

    def file(self, kind: str, value: Any) -> None:
        """Quick and never blocks for long: called under the link's lock."""
        with self._lock:
            if self._closed:
                return
            pending = self._pending
            if kind == "report" and pending and pending[-1][0] == "report":
                pending[-1][1] = value
                return                           # the thread was woken by that report
            pending.append([kind, value])
            if len(pending) > MOST_PENDING:
                del pending[0]
            self._wake_thread()

    def _wake_thread(self) -> None:
        if self._sleeping:
            self._sleeping = False
            self._wake.release()

    def close(self) -> None:
        """No delivery is applied after this returns, when called under the
        device monitor (as delete_device is): the thread checks, under the
        monitor, before it applies one. Does not wait for the thread, which
        may be waiting for that monitor."""
        with self._lock:
            self._closed = True
            self._pending.clear()
            self._wake_thread()

    def _run(self) -> None:
        with tango.EnsureOmniThread():
            turn_ended = 0.0
            while True:
                with self._lock:
                    if self._closed:
                        return
                    # Each time it is set, _wake is released exactly once.
                    sleeping = self._sleeping = not self._pending
                if sleeping:
                    self._wake.acquire()
                    continue
                gap = turn_ended + TURN_GAP_S - time.monotonic()
                if gap > 0:
                    time.sleep(gap)
                try:
                    with tango.AutoTangoMonitor(self._device):
                        with self._lock:
                            if self._closed:
                                return
                            pending, self._pending = self._pending, []
                        for kind, value in pending:
                            self._apply_logged(kind, value)
                except tango.DevFailed:
                    # The monitor stayed taken past its time-out (a request
                    # of the device waits for a slow controller): try again.
                    continue
                turn_ended = time.monotonic()

    def _apply_logged(self, kind: str, value: Any) -> None:
        try:
            self._apply(kind, value)
        except Exception:  # one failed push must not end the deliveries
            log.exception("applying a %s to %s failed", kind, self._name)
