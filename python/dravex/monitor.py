"""The monitor of an open controller: one thread that waits for the
controller's reports (PositionerWaitReport) and keeps the latest snapshot
of every axis.

    controller.monitor.snapshot(0)           # position, status, speed, when
    controller.monitor.subscribe(on_report, on_lost)

The thread sleeps inside the library until a report changed a value: no
polling. Listeners are told of every change, and of a lost connection at
once; they run on the monitor's thread, one call at a time, so they must
be quick and must not block (hand the work to another thread or an event
loop). Blocking waits (wait_for_change) and listeners may be used from any
thread.
"""
from __future__ import annotations

import ctypes
import dataclasses
import logging
import threading
import time
from typing import Callable, Dict, List, Optional

from . import _binding
from . import _positioner_api as api
from .errors import DravexError, check
from .status import Status

AXES = 6
WAIT_SLICE_MS = 1000
"""Longest single wait inside the library; the monitor ends within it once
asked to (a close ends it at once)."""

_log = logging.getLogger("dravex")


@dataclasses.dataclass(frozen=True)
class Snapshot:
    """One axis as last reported, in controller units: position, status,
    speed, and when the report was applied (time.monotonic(); 0.0 before
    the first report since the controller was opened)."""
    position: int = 0
    status: Status = Status(0)
    speed: int = 0
    reported_at: float = 0.0

    @property
    def reported(self) -> bool:
        return self.reported_at > 0.0


ReportListener = Callable[[int, Snapshot], None]
LostListener = Callable[[], None]


class Subscription:
    """A listener's registration; cancel() ends it."""

    def __init__(self, monitor: "Monitor", on_report: ReportListener,
                 on_lost: Optional[LostListener]) -> None:
        self._monitor = monitor
        self.on_report, self.on_lost = on_report, on_lost

    def cancel(self) -> None:
        self._monitor._unsubscribe(self)


class Monitor:
    """Snapshots of the six axes of one open handle, kept by a thread of its
    own from start() until the handle is closed or stop() is called."""

    def __init__(self, handle: int, name: str = "") -> None:
        self._handle = handle
        self._changed = threading.Condition()
        self._snapshots: List[Snapshot] = [Snapshot() for _ in range(AXES)]
        self._subscriptions: List[Subscription] = []
        self._generation = 0
        self._lost = False
        self._stopping = False
        self._reader = _SnapshotReader(handle)
        self._thread = threading.Thread(target=self._run, name=f"dravex-monitor {name}".strip(),
                                        daemon=True)

    def start(self) -> "Monitor":
        self._thread.start()
        return self

    def stop(self) -> None:
        """Asks the thread to end: at once once the handle is closed, else
        within WAIT_SLICE_MS. Listeners are not told of a lost connection."""
        with self._changed:
            self._stopping = True
            self._changed.notify_all()

    def join(self) -> None:
        """Waits for the thread to end (not when called on it)."""
        if self._thread.is_alive() and self._thread is not threading.current_thread():
            self._thread.join()

    @property
    def lost(self) -> bool:
        """The connection ended (not by stop())."""
        return self._lost

    def snapshot(self, axis: int) -> Snapshot:
        with self._changed:
            return self._snapshots[axis]

    def snapshots(self) -> Dict[int, Snapshot]:
        with self._changed:
            return dict(enumerate(self._snapshots))

    def all_reported(self) -> bool:
        with self._changed:
            return all(s.reported for s in self._snapshots)

    def subscribe(self, on_report: ReportListener,
                  on_lost: Optional[LostListener] = None) -> Subscription:
        """Calls on_report(axis, snapshot) after every change of an axis, and
        on_lost() once when the connection ends (at once if it has ended)."""
        subscription = Subscription(self, on_report, on_lost)
        with self._changed:
            self._subscriptions.append(subscription)
            lost = self._lost
        if lost and on_lost is not None:
            on_lost()
        return subscription

    def _unsubscribe(self, subscription: Subscription) -> None:
        with self._changed:
            if subscription in self._subscriptions:
                self._subscriptions.remove(subscription)

    def generation(self) -> int:
        """A number that grows with every change (for wait_for_change)."""
        with self._changed:
            return self._generation

    def wait_for_change(self, generation: int, timeout: Optional[float]) -> int:
        """Waits until a change after `generation` (or the connection ended),
        at most timeout seconds (None: no limit); returns the generation
        now. Wakes at once on a report: no polling."""
        with self._changed:
            self._changed.wait_for(lambda: self._generation != generation or self._lost
                                   or self._stopping, timeout)
            return self._generation

    # ---- the thread
    def _run(self) -> None:
        cursor = 0
        while not self._stopping:
            try:
                result, cursor, axes = api.wait_report(self._handle, cursor, WAIT_SLICE_MS)
                if result == 2:
                    break
                if result == 0:
                    self._apply(axes)
            except DravexError as error:  # a cached read after the connection ended
                _log.debug("monitor of handle %d ends: %s", self._handle, error)
                break
        self._end()

    def _apply(self, axes: int) -> None:
        now = time.monotonic()
        fresh = {axis: self._read(axis, now) for axis in range(AXES) if axes & (1 << axis)}
        with self._changed:
            self._snapshots = [fresh.get(axis, old) for axis, old in enumerate(self._snapshots)]
            self._generation += 1
            self._changed.notify_all()
            listeners = list(self._subscriptions)
        for axis, snapshot in fresh.items():
            for subscription in listeners:
                self._tell(subscription.on_report, axis, snapshot)

    def _read(self, axis: int, now: float) -> Snapshot:
        return self._reader.read(axis, now)

    def _end(self) -> None:
        with self._changed:
            lost = not self._stopping
            self._lost = lost
            self._generation += 1
            self._changed.notify_all()
            listeners = list(self._subscriptions)
        if lost:
            for subscription in listeners:
                if subscription.on_lost is not None:
                    self._tell(subscription.on_lost)

    @staticmethod
    def _tell(listener: Callable[..., None], *args: object) -> None:
        try:
            listener(*args)
        except Exception:  # one listener's fault must not silence the others
            _log.exception("a report listener failed")


class _SnapshotReader:
    """Reads one axis's reported values (four cached getters) with output
    buffers made once: the monitor reads every axis of every report, so it
    skips the generic binding's per-call conversions, and keeps the GIL
    through these calls (they copy cached values and never block): with a
    release around each, every report handed the GIL to other threads
    many times. Used by the monitor's thread only."""

    def __init__(self, handle: int) -> None:
        library = api.library()
        # The standard-call DLL of 32-bit Windows has no loader that keeps
        # the GIL: there, the calls release it.
        if not isinstance(library, getattr(ctypes, "WinDLL", ())):
            library = ctypes.PyDLL(None, handle=library._handle)
        self._handle = handle
        self._functions = tuple(_bound(library, name) for name in (
            "PositionerGetStatus", "PositionerGetReference", "PositionerGetPosition",
            "PositionerGetSpeed"))
        self._status, self._reference, self._position, self._speed = (
            ctypes.c_int32(), ctypes.c_int32(), ctypes.c_int32(), ctypes.c_int32())
        self._valid = ctypes.c_bool()
        self._status_ref, self._reference_ref, self._position_ref, self._speed_ref, \
            self._valid_ref = (ctypes.byref(self._status), ctypes.byref(self._reference),
                               ctypes.byref(self._position), ctypes.byref(self._speed),
                               ctypes.byref(self._valid))

    def read(self, axis: int, now: float) -> Snapshot:
        handle = self._handle
        get_status, get_reference, get_position, get_speed = self._functions
        check(get_status(handle, axis, self._status_ref), "PositionerGetStatus")
        check(get_reference(handle, axis, self._reference_ref, self._valid_ref),
              "PositionerGetReference")
        check(get_position(handle, axis, self._position_ref), "PositionerGetPosition")
        check(get_speed(handle, axis, self._speed_ref), "PositionerGetSpeed")
        return Snapshot(self._position.value, Status(self._status.value, self._valid.value),
                        self._speed.value, now)


def _bound(library: ctypes.CDLL, name: str) -> "ctypes._NamedFuncPointer":
    function: "ctypes._NamedFuncPointer" = getattr(library, name)
    function.argtypes = _binding.argtypes(api.SIGNATURES[name])
    function.restype = ctypes.c_int32
    return function
