"""One open controller shared by every axis device of the process that
names it.

A monitor thread owns the handle: it opens the controller (again, with
back-off, after a loss), reads the cached position and status of the
watched axes every poll period and hands each changed report to the axis's
listeners. The cached getters send nothing, so this costs no traffic; the
values are those the controller itself reported. Requests from Tango
threads (setters, moves, querying getters) go through request(), one at a
time, because calls on one handle must not overlap.
"""
import collections
import contextlib
import logging
import threading
import time

from . import _dravex

log = logging.getLogger(__name__)

# A request queued behind another (a querying getter may wait 10 s for its
# reply) gives up after a Tango client's default time-out: its client has
# given up by then.
REQUEST_WAIT_S = 3.0
FIRST_RETRY_S = 0.25
LONGEST_RETRY_S = 8.0
# A close waits for the receive thread's current receive (500 ms over TCP).
STOP_WAIT_S = 2.0

AxisReport = collections.namedtuple(
    "AxisReport", "position status reference reference_valid speed step_width")
AxisReport.__doc__ = "What the controller last reported for one axis (raw controller units)."

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


class LinkBusy(Exception):
    """Another request on the same controller did not end in time."""


class ControllerLink:
    """The shared handle of one controller and its monitor thread.

    opener(target) returns an open controller object with call(function,
    *args), wait_for_reports() and close(); open_lock serialises opening
    and scanning across all links of the process (the library does not
    allow them to overlap); the monitor thread runs inside thread_context()
    (for example to be known to the CORBA layer of a Tango server that it
    pushes events through).
    """

    def __init__(self, target, opener, open_lock, poll_period=0.005,
                 thread_context=contextlib.nullcontext):
        self.target = target
        self._thread_context = thread_context
        self.poll_period = poll_period
        self._opener = opener
        self._open_lock = open_lock
        self._controller = None            # replaced by the monitor thread only
        self._readers = {}                 # axis -> CachedValues of the open controller
        self._request_lock = threading.Lock()
        self._listeners_lock = threading.Lock()
        self._listeners = {}               # axis -> list of listeners
        self._joining = []                 # (axis, listener) not yet told the current values
        self._last = {}                    # axis -> last AxisReport handed out
        self._status = LinkStatus(False, True, f"{target} is being opened")
        self._stopping = threading.Event()
        self._wake = threading.Event()     # a new listener, or stop()
        self._thread = threading.Thread(target=self._monitor, name=f"link {target}", daemon=True)

    # -- life cycle ---------------------------------------------------------

    def start(self):
        self._thread.start()

    def stop(self, wait=STOP_WAIT_S):
        """Ends the monitor thread, which then closes the controller; waits
        for that at most `wait` seconds (a thread that is handing a report
        to a listener may wait for the caller)."""
        self._stopping.set()
        self._wake.set()
        if self._thread.is_alive():
            self._thread.join(wait)

    # -- listeners ----------------------------------------------------------

    def watch(self, axis, listener):
        """listener.axis_report(report) gets every changed report of the
        axis, listener.link_status(status) every change of the link; both
        are called on the monitor thread only (so in order), first with the
        current values."""
        with self._listeners_lock:
            self._joining.append((axis, listener))
        self._wake.set()

    def unwatch(self, axis, listener):
        with self._listeners_lock:
            if (axis, listener) in self._joining:
                self._joining.remove((axis, listener))
            listeners = self._listeners.get(axis, [])
            if listener in listeners:
                listeners.remove(listener)
            if not listeners:
                self._listeners.pop(axis, None)
                self._last.pop(axis, None)

    # -- requests -----------------------------------------------------------

    def request(self, function, *args):
        """Calls a Positioner function with the handle; waits at most
        REQUEST_WAIT_S for a request before it to end."""
        if not self._request_lock.acquire(timeout=REQUEST_WAIT_S):
            raise LinkBusy(f"{self.target} is still busy with an earlier request after "
                           f"{REQUEST_WAIT_S:.0f} s; try again")
        try:
            controller = self._controller
            if controller is None:
                raise LinkDown(self._status.reason)
            try:
                return controller.call(function, *args)
            except _dravex.NotConnected:
                raise LinkDown(f"the connection to {self.target} was lost; "
                               "the server reconnects on its own") from None
        finally:
            self._request_lock.release()

    # -- monitor thread -----------------------------------------------------

    def _monitor(self):
        with self._thread_context():
            self._monitor_loop()

    def _monitor_loop(self):
        retry = FIRST_RETRY_S
        try:
            while not self._stopping.is_set():
                if self._controller is None:
                    if self._open(retry):
                        retry = FIRST_RETRY_S
                    else:
                        self._pause(retry)
                        retry = min(retry * 2, LONGEST_RETRY_S)
                    continue
                started = time.monotonic()
                lost = self._poll()
                if lost:
                    self._close()
                    self._set_status(LinkStatus(False, False, lost))
                    continue
                if not self._status.up:
                    # Up once the first reports are handed out: listeners
                    # never see an open controller without its reports.
                    self._set_status(LinkStatus(True, False, ""))
                self._pause(self.poll_period - (time.monotonic() - started))
        finally:
            self._close()

    def _pause(self, seconds):
        """Waits, telling new listeners the current values meanwhile."""
        deadline = time.monotonic() + seconds
        while not self._stopping.is_set():
            self._welcome()
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                return
            self._wake.wait(remaining)
            self._wake.clear()

    def _welcome(self):
        with self._listeners_lock:
            joining, self._joining = self._joining, []
            for axis, listener in joining:
                self._listeners.setdefault(axis, []).append(listener)
            reports = [self._last.get(axis) for axis, _ in joining]
        for (_, listener), report in zip(joining, reports):
            _deliver(listener.link_status, self._status)
            if report is not None:
                _deliver(listener.axis_report, report)

    def _open(self, retry):
        try:
            with self._open_lock:
                controller = self._opener(self.target)
        except Exception as error:  # any failure is reported and retried
            self._set_status(LinkStatus(False, False, f"{self.target} cannot be opened: "
                                        f"{_dravex.describe_error(error)}; next try in "
                                        f"{retry:g} s"))
            return False
        # The cached values are 0 until the controller has reported.
        controller.wait_for_reports()
        with self._request_lock:
            self._controller = controller
        log.info("%s opened", self.target)
        return True

    def _close(self):
        with self._request_lock:
            controller, self._controller = self._controller, None
        self._readers.clear()
        if controller is not None:
            with self._open_lock:
                try:
                    controller.close()
                except _dravex.DravexError as error:
                    log.warning("closing %s: %s", self.target, _dravex.describe_error(error))
        with self._listeners_lock:
            self._last.clear()

    def _poll(self):
        """Reads every watched axis and hands out what changed; the reason
        when the connection is lost (any failure of a cached getter: they
        fail only for a handle that is no longer connected), else ""."""
        with self._listeners_lock:
            axes = list(self._listeners)
        for axis in axes:
            try:
                report = self._read(axis)
            except _dravex.NotConnected:
                return f"the connection to {self.target} was lost; reconnecting"
            except _dravex.DravexError as error:
                return (f"reading axis {axis} of {self.target} failed: "
                        f"{_dravex.describe_error(error)}; reconnecting")
            with self._listeners_lock:
                if self._last.get(axis) == report:
                    continue
                self._last[axis] = report
                listeners = list(self._listeners.get(axis, ()))
            for listener in listeners:
                _deliver(listener.axis_report, report)
        return ""

    def _read(self, axis):
        reader = self._readers.get(axis)
        if reader is None:
            reader = self._readers[axis] = _dravex.CachedValues(self._controller, axis)
        return AxisReport(*reader.read())

    def _set_status(self, status):
        if status == self._status:
            return
        self._status = status
        if not status.up:
            log.warning("%s", status.reason)
        with self._listeners_lock:
            listeners = [listener for group in self._listeners.values() for listener in group]
        for listener in listeners:
            _deliver(listener.link_status, status)


def _deliver(callback, value):
    # A failing listener must not end the monitor thread of every axis.
    try:
        callback(value)
    except Exception:
        log.exception("listener %r failed", callback)
