"""The stop line of one open controller: a small thread of its own that
sends halts (PositionerHalt, PositionerHaltAll) the moment the window asks
for them, whatever request the controller's worker is waiting in, and that
closes the controller at the end (which ends such a wait at once).

The library allows calls on one handle from several threads, and a halt
never waits for a querying getter; the halt is a send of microseconds, so
this thread is never busy for long. It keeps library calls off the GUI
thread all the same: a send that blocks must not freeze the window.
"""
import logging
import queue
import threading
from typing import Any, Callable, Dict, Iterable, Optional, Tuple

from PyQt5.QtCore import QObject, pyqtSignal

from . import backend
from .link import Link

log = logging.getLogger("dravex_gui")
Job = Tuple[str, Callable[[Any], None]]  # (action for messages, call with the controller)


class StopLedger:
    """Orders the window's requests and stops: a move posted before a stop
    of its axis must not be sent after that stop."""

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._count = 0
        self._stopped: Dict[int, int] = {}  # axis -> count at its last stop

    def mark(self) -> int:
        """The count of a request being posted."""
        with self._lock:
            self._count += 1
            return self._count

    def stop(self, axes: Iterable[int]) -> None:
        with self._lock:
            self._count += 1
            for axis in axes:
                self._stopped[axis] = self._count

    def stopped_since(self, axes: Iterable[int], mark: int) -> bool:
        """Whether one of the axes was stopped after the request of mark was posted."""
        with self._lock:
            return any(self._stopped.get(axis, 0) > mark for axis in axes)


class StopLine(QObject):
    """Halts and the final close of one controller, on a thread of their own."""
    failed = pyqtSignal(str)  # one sentence (emitted on the stop line's thread)
    closed = pyqtSignal()     # the controller is closed (or was never opened)

    def __init__(self, link: Link, name: str, parent: Optional[QObject] = None) -> None:
        super().__init__(parent)
        self._link = link
        self._jobs: "queue.SimpleQueue[Optional[Job]]" = queue.SimpleQueue()
        self._thread = threading.Thread(target=self._run, name=f"stop line {name}", daemon=True)
        self._thread.start()

    def halt(self, axes: Tuple[int, ...]) -> None:
        """Any thread; returns at once."""
        names = ", ".join(map(str, axes))
        self._jobs.put((f"Stopping axis {names}", lambda c: backend.halt(c, axes)))

    def halt_all(self) -> None:
        self._jobs.put(("Stopping every axis", backend.halt_all))

    def close(self) -> None:
        """Halts the axes this window set moving, closes the controller and
        ends the thread, after the halts asked for before."""
        self._jobs.put(None)

    def join(self, seconds: float) -> bool:
        self._thread.join(max(0.0, seconds))
        return not self._thread.is_alive()

    def _run(self) -> None:
        while True:
            job = self._jobs.get()
            if job is None:
                break
            action, call = job
            controller = self._link.controller()
            if controller is not None:
                self._attempt(controller, action, call)
        controller, moved = self._link.detach()
        if controller is not None:
            try:
                backend.halt(controller, moved)
            except backend.LibraryError as error:
                log.info("stopping the axes moved from here on closing: %s", error)
            try:
                backend.close_controller(controller)
            except backend.LibraryError as error:
                log.debug("closing: %s", error)  # the connection is gone either way
        self.closed.emit()

    def _attempt(self, controller: Any, action: str, call: Callable[[Any], None]) -> None:
        try:
            call(controller)
        except backend.LibraryError as error:
            log.info("%s: %s", action, error)
            self.failed.emit(backend.sentence(error, action))
