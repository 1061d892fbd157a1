"""One worker thread per open controller.

The GUI thread never calls the library: it posts Requests to the
controller's ControllerSession, whose worker runs them one after the
other on its own QThread (calls on one handle must not overlap) and
answers by signals. A stop goes ahead of every waiting request and
cancels the waiting moves of its axes; a request already running (a
querying getter waits up to 10 s for its answer) cannot be cut short.
Between requests the worker polls the cached position, status and speed
of every axis; a poll or request that finds the connection gone reports
the loss and closes the handle.
"""
import collections
import dataclasses
from typing import Any, Callable, Deque, Dict, Optional, Set, Tuple

from PyQt5.QtCore import QObject, Qt, QThread, QTimer, pyqtSignal, pyqtSlot

from . import backend
from .settings import AxisUnit

POLL_INTERVAL_MS = 50


@dataclasses.dataclass(frozen=True)
class Request:
    """One job for the worker thread."""
    action: str                          # "Moving axis 0", for messages
    call: Callable[[Any], Any]           # runs with the open dravex.Controller
    moves: Tuple[int, ...] = ()          # axes this request sets moving
    stops: Tuple[int, ...] = ()          # axes this request stops (goes first)
    on_result: Optional[Callable[[Any], None]] = None  # runs on the GUI thread


class ControllerWorker(QObject):
    opened = pyqtSignal(object)          # backend.Target, as opening found it
    axes = pyqtSignal(object)            # tuple of backend.AxisState
    result = pyqtSignal(object, object)  # Request, value
    failed = pyqtSignal(str)             # one sentence
    lost = pyqtSignal(str)
    closed = pyqtSignal()

    def __init__(self, target: backend.Target, library: backend.Library,
                 units: Dict[int, AxisUnit]) -> None:
        super().__init__()
        self.target = target
        self._library = library
        self._units = dict(units)
        self._controller: Any = None
        self._moved: Set[int] = set()
        self._timer: Optional[QTimer] = None
        self._pending: Deque[Request] = collections.deque()
        self._scheduled = False

    @pyqtSlot()
    def open(self) -> None:
        try:
            self._controller = self._library.open(self.target)
        except backend.LibraryError as error:
            self.lost.emit(backend.sentence(error, f"Opening {self.target.describe()}"))
            self.closed.emit()
            return
        for axis, unit in self._units.items():
            backend.set_unit(self._controller, axis, unit.scale, unit.unit)
        self._timer = QTimer(self)
        self._timer.timeout.connect(self._poll)
        self._timer.start(POLL_INTERVAL_MS)
        self.opened.emit(backend.identify(self._controller, self.target))
        self._poll()

    @pyqtSlot(object)
    def run(self, request: Request) -> None:
        if request.stops:
            stopped = set(request.stops)
            self._pending = collections.deque(
                waiting for waiting in self._pending if not stopped.intersection(waiting.moves))
            self._pending.appendleft(request)
        else:
            self._pending.append(request)
        if not self._scheduled:
            # Requests posted meanwhile are queued before this call.
            self._scheduled = True
            QTimer.singleShot(0, self._next)

    @pyqtSlot()
    def _next(self) -> None:
        self._scheduled = False
        if self._controller is None:
            self._pending.clear()
            return
        if not self._pending:
            return
        request = self._pending.popleft()
        if self._pending:
            self._scheduled = True
            QTimer.singleShot(0, self._next)
        self._moved.update(request.moves)
        try:
            value = request.call(self._controller)
        except (backend.LibraryError, ValueError, TypeError) as error:
            self._report(error, request.action)
            return
        self.result.emit(request, value)

    @pyqtSlot()
    def _poll(self) -> None:
        if self._controller is None:
            return
        try:
            self.axes.emit(backend.read_axes(self._controller))
        except backend.LibraryError as error:
            self._report(error, "Reading the axes")

    def _report(self, error: BaseException, action: str) -> None:
        if isinstance(error, backend.NotConnected):
            self._release()
            self.lost.emit(backend.sentence(error, action))
            self.closed.emit()
        else:
            self.failed.emit(backend.sentence(error, action))

    @pyqtSlot()
    def close(self) -> None:
        """Stops the axes this program set moving, then closes."""
        if self._controller is not None:
            for axis in sorted(self._moved):
                try:
                    backend.stop(self._controller, axis)
                except backend.LibraryError:
                    break  # gone: nothing left to stop
        self._release()
        self.closed.emit()

    def _release(self) -> None:
        if self._timer is not None:
            self._timer.stop()
            self._timer = None
        controller, self._controller = self._controller, None
        self._moved.clear()
        self._pending.clear()
        if controller is not None:
            try:
                backend.close_controller(controller)
            except backend.LibraryError:
                pass  # the connection is gone either way


class ControllerSession(QObject):
    """GUI-thread side of one open controller: owns its thread."""
    _submit = pyqtSignal(object)
    _close = pyqtSignal()
    opened = pyqtSignal(object)
    axes = pyqtSignal(object)
    failed = pyqtSignal(str)
    lost = pyqtSignal(str)
    finished = pyqtSignal()

    def __init__(self, target: backend.Target, library: backend.Library,
                 units: Dict[int, AxisUnit], parent: Optional[QObject] = None) -> None:
        super().__init__(parent)
        self.target = target
        self.alive = True
        self._thread = QThread()
        self._thread.setObjectName(f"controller {target.describe()}")
        self._worker = ControllerWorker(target, library, units)
        self._worker.moveToThread(self._thread)
        self._thread.started.connect(self._worker.open)
        self._submit.connect(self._worker.run)
        self._close.connect(self._worker.close)
        self._worker.opened.connect(self.opened)
        self._worker.axes.connect(self.axes)
        self._worker.failed.connect(self.failed)
        self._worker.lost.connect(self.lost)
        self._worker.result.connect(self._deliver)
        # Directly on the worker thread: the GUI thread may be waiting in wait().
        self._worker.closed.connect(self._thread.quit, Qt.DirectConnection)
        self._thread.finished.connect(self._finish)
        self._thread.start()

    def post(self, action: str, call: Callable[[Any], Any], moves: Tuple[int, ...] = (),
             on_result: Optional[Callable[[Any], None]] = None,
             stops: Tuple[int, ...] = ()) -> None:
        if self.alive:
            self._submit.emit(Request(action, call, moves, stops, on_result))

    def stop_all(self) -> None:
        self.post("Stopping every axis", backend.stop_all, stops=tuple(backend.AXES))

    def close(self) -> None:
        """Asks the worker to stop what it started and close; returns at once."""
        if self.alive:
            self._close.emit()

    def wait(self, milliseconds: int) -> bool:
        """After close(): waits for the thread (end of the program only)."""
        return self._thread.wait(milliseconds)

    @pyqtSlot(object, object)
    def _deliver(self, request: Request, value: Any) -> None:
        if request.on_result is not None:
            request.on_result(value)

    @pyqtSlot()
    def _finish(self) -> None:
        self.alive = False
        self.finished.emit()
