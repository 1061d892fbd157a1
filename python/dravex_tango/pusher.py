"""Hands what a controller link delivers to one Tango device, on a thread
of the device's own, under the device monitor.

The link's thread must never wait for one device (a request of the device
may hold its monitor for seconds while the controller is slow): it files
each delivery here and goes on. The pusher's thread takes the device
monitor, the lock of everything the device does, and applies the delivery
there. Reports that follow each other coalesce to the newest; a change of
the link stays in order between them.
"""
import logging
import threading
import time

import tango

log = logging.getLogger(__name__)

# Deliveries filed while the device's thread waits: a change of the link
# every few seconds at most, so this holds only when a device hangs.
MOST_PENDING = 64
# After each turn under the monitor the thread pauses this long, so that a
# request waiting for the monitor takes it before the next turn: Tango's
# monitor hands itself to whoever asks first after a release, and reports
# that keep coming would otherwise hold it away from requests (and from
# the server's own start, which times out after 3.2 s).
TURN_GAP_S = 0.001


class Pusher:
    """apply(kind, value) runs under the device monitor for every delivery
    filed by file(kind, value); kind "report" coalesces with a report
    before it."""

    def __init__(self, device, apply, name):
        self._device = device
        self._apply = apply
        self._changed = threading.Condition()
        self._pending = []          # [kind, value]
        self._closed = False
        self._thread = threading.Thread(target=self._run, name=f"push {name}", daemon=True)
        self._thread.start()

    def file(self, kind, value):
        with self._changed:
            if self._closed:
                return
            if kind == "report" and self._pending and self._pending[-1][0] == "report":
                self._pending[-1][1] = value
            else:
                self._pending.append([kind, value])
                del self._pending[:-MOST_PENDING]
            self._changed.notify()

    def close(self):
        """No delivery is applied after this returns, when called under the
        device monitor (as delete_device is): the thread checks, under the
        monitor, before it applies one. Does not wait for the thread, which
        may be waiting for that monitor."""
        with self._changed:
            self._closed = True
            self._pending.clear()
            self._changed.notify()

    def _run(self):
        with tango.EnsureOmniThread():
            while True:
                with self._changed:
                    self._changed.wait_for(lambda: self._pending or self._closed)
                    if self._closed:
                        return
                try:
                    with tango.AutoTangoMonitor(self._device):
                        with self._changed:
                            if self._closed:
                                return
                            pending, self._pending = self._pending, []
                        for kind, value in pending:
                            self._apply_logged(kind, value)
                except tango.DevFailed:
                    # The monitor stayed taken past its time-out (a request
                    # of the device waits for a slow controller): try again.
                    continue
                time.sleep(TURN_GAP_S)

    def _apply_logged(self, kind, value):
        try:
            self._apply(kind, value)
        except Exception:  # one failed push must not end the deliveries
            log.exception("applying a %s to %s failed", kind, self._thread.name)
