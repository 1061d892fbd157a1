"""One open controller shared by every axis device of the process that
names it.

The link's thread opens the controller (again, with back-off, after a
loss) and hands the controller's reports to the axis listeners. The
reports come from the controller's monitor (dravex.monitor), which sleeps
in the library until a report changes a value: no polling. The monitor's
listener only files the newest snapshot of each axis and wakes the link's
thread, which delivers; so every delivery runs on the link's thread (known
to the CORBA layer through thread_context), one at a time, and a slow
listener makes reports of one axis coalesce instead of queueing.

Requests from Tango threads (setters, stops, moves, querying getters) call
the controller directly: dravex.Controller is safe from several threads,
and a stop never waits for a querying getter.
"""
import collections
import contextlib
import logging
import math
import threading
import time

from . import _dravex

log = logging.getLogger(__name__)

FIRST_RETRY_S = 0.25
LONGEST_RETRY_S = 8.0
# A close waits for the receive thread's current receive (500 ms over TCP).
STOP_WAIT_S = 2.0

LinkStatus = collections.namedtuple("LinkStatus", "up opening reason")
LinkStatus.__doc__ = """Whether the controller is open; opening: before the first attempt has
ended; reason: when it is not open, why (one sentence)."""


class ControllerTarget(collections.namedtuple("ControllerTarget", "address hardware_id")):
    """How a controller is named: by network address or by hardware id."""

    def __str__(self):
        if self.address is not None:
            return f"the controller at {self.address}"
        return f"the controller with hardware id {self.hardware_id}"


class LinkDown(Exception):
    """The controller is not open (lost, or not yet reached)."""


class ControllerLink:
    """The shared controller of one target and the thread that delivers its
    reports.

    opener(target) returns an open dravex.Controller; open_lock serialises
    opening, scanning and closing across all links of the process; the
    link's thread runs inside thread_context() (for example to be known to
    the CORBA layer of a Tango server that it pushes events through).
    """

    def __init__(self, target, opener, open_lock, thread_context=contextlib.nullcontext):
        self.target = target
        self._opener = opener
        self._open_lock = open_lock
        self._thread_context = thread_context
        self._controller = None       # set and cleared by the link's thread only
        self._subscription = None
        self._status = LinkStatus(False, True, f"{target} is being opened")
        self._changed = threading.Condition()
        # Guarded by _changed:
        self._pending = {}            # axis -> newest Snapshot not yet delivered
        self._lost = False
        self._stopping = False
        self._listeners = {}          # axis -> list of listeners
        self._joining = []            # (axis, listener) not yet told the current values
        self._rechecks = {}           # listener -> time.monotonic() of a redelivery asked for
        self._delivering = None       # the listener being called, if any
        self._thread = threading.Thread(target=self._run, name=f"link {target}", daemon=True)

    # -- life cycle ---------------------------------------------------------

    def start(self):
        self._thread.start()

    def stop(self, wait=STOP_WAIT_S):
        """Ends the link's thread, which then closes the controller; waits
        for that at most `wait` seconds."""
        with self._changed:
            self._stopping = True
            self._changed.notify_all()
        if self._thread.is_alive() and self._thread is not threading.current_thread():
            self._thread.join(wait)

    # -- listeners ----------------------------------------------------------

    def watch(self, axis, listener):
        """listener.axis_report(snapshot) gets every report of the axis
        (dravex.monitor.Snapshot, only reported ones), listener.link_status(status)
        every change of the link; both are called on the link's thread only
        (so in order), first with the current values."""
        with self._changed:
            self._joining.append((axis, listener))
            self._changed.notify_all()

    def unwatch(self, axis, listener):
        """Ends the deliveries to the listener; when it returns, none is
        running or will start (unless called from a delivery itself)."""
        with self._changed:
            if (axis, listener) in self._joining:
                self._joining.remove((axis, listener))
            listeners = self._listeners.get(axis, [])
            if listener in listeners:
                listeners.remove(listener)
            if not listeners:
                self._listeners.pop(axis, None)
            self._rechecks.pop(listener, None)
            if threading.current_thread() is not self._thread:
                self._changed.wait_for(lambda: self._delivering is not listener)

    def describe(self):
        """(hardware id or None, carrier, address) of the open controller;
        None while it is not open."""
        controller = self._controller
        if controller is None:
            return None
        return controller.hardware_id, controller.carrier or "", controller.address or ""

    def current(self, axis):
        """(LinkStatus, the axis's last reported Snapshot or None) now: what
        watch() delivers first, for a caller that needs it at once."""
        return self._status, self._snapshot(axis)

    def recheck(self, listener, at):
        """Delivers the axis's last report to the listener again at
        time.monotonic() `at` (once; a later call replaces the time), so
        that it can judge a report against the time that has passed."""
        with self._changed:
            self._rechecks[listener] = at
            self._changed.notify_all()

    # -- requests -----------------------------------------------------------

    def request(self, function, *args):
        """Calls a Positioner function with the handle, at once, whatever
        other threads are waiting for."""
        controller = self._controller
        if controller is None:
            raise LinkDown(self._status.reason)
        try:
            return controller.call(function, *args)
        except _dravex.NotConnected:
            raise LinkDown(f"the connection to {self.target} was lost; "
                           "the server reconnects on its own") from None

    # -- the link's thread --------------------------------------------------------

    def _run(self):
        with self._thread_context():
            retry = FIRST_RETRY_S
            try:
                while not self._stopping:
                    if self._controller is None:
                        if self._open(retry):
                            retry = FIRST_RETRY_S
                        else:
                            self._serve(time.monotonic() + retry)
                            retry = min(retry * 2, LONGEST_RETRY_S)
                        continue
                    self._serve(math.inf)
                    if self._lost:
                        # Told before the close, which may wait for a receive.
                        self._set_status(LinkStatus(False, False, f"the connection to "
                                                    f"{self.target} was lost; reconnecting"))
                        self._close()
            finally:
                self._close()

    def _serve(self, until):
        """Delivers reports, welcomes and rechecks until `until`
        (time.monotonic()), a lost connection or stop()."""
        while True:
            with self._changed:
                while True:
                    if self._stopping or self._lost:
                        return
                    now = time.monotonic()
                    due = [listener for listener, at in self._rechecks.items() if at <= now]
                    if self._pending or self._joining or due:
                        break
                    if now >= until:
                        return
                    wake = min([until] + list(self._rechecks.values()))
                    self._changed.wait(None if wake == math.inf else wake - now)
                pending, self._pending = self._pending, {}
                joining, self._joining = self._joining, []
                for listener in due:
                    del self._rechecks[listener]
                for axis, listener in joining:
                    self._listeners.setdefault(axis, []).append(listener)
                deliveries = [(listener, snapshot) for axis, snapshot in pending.items()
                              for listener in self._listeners.get(axis, ())]
            for axis, listener in joining:
                self._deliver(listener, "link_status", self._status)
                snapshot = self._snapshot(axis)
                if snapshot is not None:
                    self._deliver(listener, "axis_report", snapshot)
            for listener, snapshot in deliveries:
                self._deliver(listener, "axis_report", snapshot)
            for listener in due:
                snapshot = self._snapshot(self._axis_of(listener))
                if snapshot is not None:
                    self._deliver(listener, "axis_report", snapshot)

    def _axis_of(self, listener):
        with self._changed:
            for axis, listeners in self._listeners.items():
                if listener in listeners:
                    return axis
        return None

    def _snapshot(self, axis):
        controller = self._controller
        if controller is None or axis is None:
            return None
        snapshot = controller.monitor.snapshot(axis)
        return snapshot if snapshot.reported else None

    def _deliver(self, listener, method, value):
        """Calls the listener unless it has been unwatched meanwhile; a
        failing listener must not end the deliveries to the others."""
        with self._changed:
            if not any(listener in group for group in self._listeners.values()):
                return
            self._delivering = listener
        try:
            getattr(listener, method)(value)
        except Exception:
            log.exception("listener %r failed", listener)
        finally:
            with self._changed:
                self._delivering = None
                self._changed.notify_all()

    # -- the monitor's listener (on the monitor's thread) ---------------------------

    def _on_report(self, axis, snapshot):
        if not snapshot.reported:
            return
        with self._changed:
            self._pending[axis] = snapshot
            self._changed.notify_all()

    def _on_lost(self):
        with self._changed:
            self._lost = True
            self._changed.notify_all()

    # -- opening and closing ---------------------------------------------------------

    def _open(self, retry):
        try:
            with self._open_lock:
                controller = self._opener(self.target)
        except Exception as error:  # any failure is reported and retried
            self._set_status(LinkStatus(False, False, f"{self.target} cannot be opened: "
                                        f"{_dravex.describe_error(error)}; next try in "
                                        f"{retry:g} s"))
            return False
        with self._changed:
            self._lost = False
            self._pending.clear()
        self._controller = controller
        self._subscription = controller.monitor.subscribe(self._on_report, self._on_lost)
        # Reports applied before the subscription: delivered like later ones.
        with self._changed:
            for axis in range(_dravex.AXES):
                snapshot = controller.monitor.snapshot(axis)
                if snapshot.reported:
                    self._pending.setdefault(axis, snapshot)
            self._changed.notify_all()
        log.info("%s opened", self.target)
        # Up before the reports are delivered: a listener shows the axis
        # waiting for its first report, never a value the controller did
        # not report.
        self._set_status(LinkStatus(True, False, ""))
        return True

    def _close(self):
        controller, self._controller = self._controller, None
        subscription, self._subscription = self._subscription, None
        if subscription is not None:
            subscription.cancel()
        if controller is not None:
            with self._open_lock:
                try:
                    controller.close()
                except _dravex.DravexError as error:
                    log.warning("closing %s: %s", self.target, _dravex.describe_error(error))
        with self._changed:
            self._pending.clear()

    def _set_status(self, status):
        if status == self._status:
            return
        self._status = status
        if not status.up:
            log.warning("%s", status.reason)
        with self._changed:
            listeners = [listener for group in self._listeners.values() for listener in group]
        for listener in listeners:
            self._deliver(listener, "link_status", status)
