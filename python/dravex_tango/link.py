"""One open controller shared by every axis device of the process that
names it.

The link's thread opens the controller (again, with back-off, after a
loss), tells the listeners of every change of the link and redelivers a
report when a listener asked for it (recheck). The reports come from the
controller's monitor (dravex.monitor), which sleeps in the library until a
report changes a value: no polling. While the controller is open, the
monitor's thread hands each report straight to the axis's listeners, with
no thread in between: at a hundred reports a second per axis, every
hand-off between threads costs more than the delivery itself.

Every delivery, from either thread, runs under the link's lock, so the
listeners see the link's changes and the reports in one order, and when
unwatch() returns no delivery to that listener runs or will start. So a
listener must only file what it gets and return at once (the Tango
devices file it with their pusher); it must not call the link back.

Requests from Tango threads (setters, stops, moves) call the controller
directly: dravex.Controller is safe from several threads, and a stop never
waits for a querying getter. Querying getters run on the link's workers
(queries.py), so that their device waits for them only a short while.
"""
import contextlib
import logging
import math
import threading
import time
from typing import (Any, Callable, ContextManager, Dict, List, NamedTuple, Optional, Protocol,
                    Tuple)

from . import _dravex
from .queries import Closed, Queries

log = logging.getLogger(__name__)
_describe: Callable[[BaseException], str] = _dravex.describe_error

FIRST_RETRY_S = 0.25
LONGEST_RETRY_S = 8.0
# A close waits for the receive thread's current receive (500 ms over TCP).
STOP_WAIT_S = 2.0


class LinkStatus(NamedTuple):
    """Whether the controller is open; opening: before the first attempt has
    ended; reason: when it is not open, why (one sentence)."""
    up: bool
    opening: bool
    reason: str


class ControllerTarget(NamedTuple):
    """How a controller is named: by network address or by hardware id."""
    address: Optional[str]
    hardware_id: Optional[int]

    def __str__(self) -> str:
        if self.address is not None:
            return f"the controller at {self.address}"
        return f"the controller with hardware id {self.hardware_id}"


class LinkDown(Exception):
    """The controller is not open (lost, or not yet reached)."""


class Listener(Protocol):
    """What a link delivers to: quick calls that only file the value."""

    def axis_report(self, snapshot: Any) -> None: ...

    def link_status(self, status: LinkStatus) -> None: ...


Opener = Callable[[ControllerTarget], Any]
ThreadContext = Callable[[], ContextManager[Any]]


class ControllerLink:
    """The shared controller of one target and the thread that opens it.

    opener(target) returns an open dravex.Controller; open_lock serialises
    opening, scanning and closing across all links of the process; the
    link's thread runs inside thread_context() (for example to be known to
    the CORBA layer of a Tango server).
    """

    def __init__(self, target: ControllerTarget, opener: Opener, open_lock: ContextManager[Any],
                 thread_context: ThreadContext = contextlib.nullcontext) -> None:
        self.target = target
        self._opener = opener
        self._open_lock = open_lock
        self._thread_context = thread_context
        self._subscription: Any = None   # set and cleared by the link's thread only
        self._changed = threading.Condition()
        # Guarded by _changed (set by the link's thread, read by any):
        self._controller: Any = None
        self._status = LinkStatus(False, True, f"{target} is being opened")
        # Reports of the open controller go straight to the listeners once
        # its status "up" has been delivered; until then they wait here.
        self._direct = False
        self._pending: Dict[int, Any] = {}            # axis -> newest Snapshot not delivered
        self._lost = False
        self._stopping = False
        self._listeners: Dict[Optional[int], List[Listener]] = {}   # axis -> listeners
        self._rechecks: Dict[Listener, Tuple[Optional[int], float]] = {}  # -> (axis, when)
        # When the link's thread wakes on its own; -inf while it is awake
        # (it looks at the rechecks before it waits again).
        self._wake_at = -math.inf
        self._thread = threading.Thread(target=self._run, name=f"link {target}", daemon=True)
        self._queries = Queries(self.request, str(target))

    # -- life cycle ---------------------------------------------------------

    def start(self) -> None:
        self._thread.start()

    def stop(self, wait: float = STOP_WAIT_S) -> None:
        """Ends the link's thread, which then closes the controller; waits
        for that at most `wait` seconds."""
        with self._changed:
            self._stopping = True
            self._changed.notify_all()
        self._queries.close()
        if self._thread.is_alive() and self._thread is not threading.current_thread():
            self._thread.join(wait)

    # -- listeners ----------------------------------------------------------

    def watch(self, axis: Optional[int], listener: Listener) -> None:
        """listener.axis_report(snapshot) gets every report of the axis
        (dravex.monitor.Snapshot, only reported ones), listener.link_status(status)
        every change of the link, in order; both at once with the current
        values (axis None: the link's changes only)."""
        with self._changed:
            self._listeners.setdefault(axis, []).append(listener)
            self._deliver(listener.link_status, self._status)
            if self._direct and axis is not None:
                snapshot = self._snapshot(axis)
                if snapshot is not None:
                    self._deliver(listener.axis_report, snapshot)

    def unwatch(self, axis: Optional[int], listener: Listener) -> None:
        """Ends the deliveries to the listener; when it returns, none is
        running or will start."""
        with self._changed:
            listeners = self._listeners.get(axis, [])
            if listener in listeners:
                listeners.remove(listener)
            if not listeners:
                self._listeners.pop(axis, None)
            self._rechecks.pop(listener, None)

    def describe(self) -> Optional[Tuple[Optional[int], str, str]]:
        """(hardware id or None, carrier, address) of the open controller;
        None while it is not open."""
        controller = self._controller
        if controller is None:
            return None
        return controller.hardware_id, controller.carrier or "", controller.address or ""

    def current(self, axis: Optional[int]) -> Tuple[LinkStatus, Any]:
        """(LinkStatus, the axis's last reported Snapshot or None) now: what
        watch() delivers first, for a caller that needs it at once."""
        return self._status, self._snapshot(axis)

    def recheck(self, listener: Listener, at: float) -> None:
        """Delivers the axis's last report to the listener again at
        time.monotonic() `at` (once; a later call replaces the time, inf
        cancels it), so that it can judge a report against the time that
        has passed. Wakes the link's thread only when it would wake later."""
        if at == math.inf and listener not in self._rechecks:
            # The common case, for every report of a running move: nothing
            # to cancel, so the lock the monitor's thread delivers under is
            # not taken. A listener's rechecks are set by its own device
            # (under its monitor) and only removed by others.
            return
        with self._changed:
            axis = self._axis_of(listener)
            if at == math.inf or axis is None:
                self._rechecks.pop(listener, None)
                return
            self._rechecks[listener] = (axis, at)
            if at < self._wake_at:
                self._changed.notify_all()

    # -- requests -----------------------------------------------------------

    def request(self, function: str, *args: Any) -> Any:
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

    def query(self, wait: float, function: str, *args: Any) -> Any:
        """A querying getter's value, waited for at most `wait` seconds
        (queries.NoReply after that; the request goes on)."""
        try:
            return self._queries.ask(wait, function, *args)
        except Closed:
            raise LinkDown(f"the connection to {self.target} was closed") from None

    # -- the link's thread --------------------------------------------------------

    def _run(self) -> None:
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

    def _serve(self, until: float) -> None:
        """Delivers the rechecks that fall due until `until`
        (time.monotonic()), a lost connection or stop()."""
        with self._changed:
            try:
                while not (self._stopping or self._lost):
                    now = time.monotonic()
                    due = [(listener, axis) for listener, (axis, at) in self._rechecks.items()
                           if at <= now]
                    for listener, axis in due:
                        del self._rechecks[listener]
                        snapshot = self._snapshot(axis) if self._direct else None
                        if snapshot is not None:
                            self._deliver(listener.axis_report, snapshot)
                    if now >= until:
                        return
                    self._wake_at = min([until] + [at for _, at in self._rechecks.values()])
                    self._changed.wait(None if self._wake_at == math.inf
                                       else self._wake_at - now)
                    self._wake_at = -math.inf
            finally:
                self._wake_at = -math.inf

    def _axis_of(self, listener: Listener) -> Optional[int]:
        for axis, listeners in self._listeners.items():
            if listener in listeners:
                return axis
        return None

    def _snapshot(self, axis: Optional[int]) -> Any:
        controller = self._controller
        if controller is None or axis is None:
            return None
        snapshot = controller.monitor.snapshot(axis)
        return snapshot if snapshot.reported else None

    @staticmethod
    def _deliver(method: Callable[[Any], None], value: Any) -> None:
        """Calls a listener (under the link's lock); a failing listener must
        not end the deliveries to the others."""
        try:
            method(value)
        except Exception:
            log.exception("listener %r failed", getattr(method, "__self__", method))

    # -- the monitor's listener (on the monitor's thread) ---------------------------

    def _on_report(self, controller: Any, axis: int, snapshot: Any) -> None:
        if not snapshot.reported:
            return
        with self._changed:
            if controller is not self._controller:
                return                    # a report of a controller closed meanwhile
            if not self._direct:
                self._pending[axis] = snapshot
                return
            for listener in self._listeners.get(axis, ()):
                self._deliver(listener.axis_report, snapshot)

    def _on_lost(self, controller: Any) -> None:
        with self._changed:
            if controller is self._controller:
                self._lost = True
                self._changed.notify_all()

    # -- opening and closing ---------------------------------------------------------

    def _open(self, retry: float) -> bool:
        try:
            with self._open_lock:
                controller = self._opener(self.target)
        except Exception as error:  # any failure is reported and retried
            self._set_status(LinkStatus(False, False, f"{self.target} cannot be opened: "
                                        f"{_describe(error)}; next try in "
                                        f"{retry:g} s"))
            return False
        with self._changed:
            self._lost = False
            self._pending.clear()
            self._controller = controller
        self._subscription = controller.monitor.subscribe(
            lambda axis, snapshot: self._on_report(controller, axis, snapshot),
            lambda: self._on_lost(controller))
        # Reports applied before the subscription: delivered like later ones.
        with self._changed:
            for axis in range(_dravex.AXES):
                snapshot = controller.monitor.snapshot(axis)
                if snapshot.reported:
                    self._pending.setdefault(axis, snapshot)
        log.info("%s opened", self.target)
        # Up before the reports are delivered: a listener shows the axis
        # waiting for its first report, never a value the controller did
        # not report.
        self._set_status(LinkStatus(True, False, ""))
        return True

    def _close(self) -> None:
        with self._changed:
            controller, self._controller = self._controller, None
            self._direct = False
            self._pending.clear()
            self._lost = False            # the retries wait; a closed controller's loss is ignored
        subscription, self._subscription = self._subscription, None
        if subscription is not None:
            subscription.cancel()
        if controller is not None:
            with self._open_lock:
                try:
                    controller.close()
                except _dravex.DravexError as error:
                    log.warning("closing %s: %s", self.target, _describe(error))

    def _set_status(self, status: LinkStatus) -> None:
        """Tells every listener; once the link is up, the reports that came
        before, and every later one straight from the monitor's thread."""
        with self._changed:
            if status == self._status:
                return
            self._status = status
            for listener in [listener for group in self._listeners.values()
                             for listener in group]:
                self._deliver(listener.link_status, status)
            self._direct = status.up
            if status.up:
                pending, self._pending = self._pending, {}
                for axis, snapshot in pending.items():
                    for listener in self._listeners.get(axis, ()):
                        self._deliver(listener.axis_report, snapshot)
        if not status.up:
            log.warning("%s", status.reason)
