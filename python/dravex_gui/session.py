"""The GUI-thread side of one open controller: its worker thread
(requests), its stop line (halts and the close) and the relay of its
monitor's reports. The GUI thread itself never calls the library."""
import time
from typing import Any, Callable, Dict, Optional, Tuple

from PyQt5.QtCore import QObject, Qt, QThread, pyqtSignal, pyqtSlot

from . import backend
from .link import Link
from .reports import ReportRelay
from .settings import AxisUnit
from .stop_line import StopLedger, StopLine
from .worker import ControllerWorker, Request


class ControllerSession(QObject):
    _submit = pyqtSignal(object)
    opened = pyqtSignal(object)     # backend.Target
    snapshots = pyqtSignal(object)  # reports.Snapshots
    failed = pyqtSignal(str)
    lost = pyqtSignal(str)          # once, when the controller is gone or never opened
    finished = pyqtSignal()         # the worker thread ended

    def __init__(self, target: backend.Target, library: backend.Library,
                 units: Dict[int, AxisUnit], parent: Optional[QObject] = None) -> None:
        super().__init__(parent)
        self.target = target
        self.alive = True
        self._ending = False
        link, self._ledger = Link(), StopLedger()
        self._relay = ReportRelay(self)
        self._relay.snapshots.connect(self.snapshots)
        self._relay.lost.connect(lambda: self._end(backend.lost_sentence(target.describe())))
        self._stop_line = StopLine(link, target.describe(), self)
        self._stop_line.failed.connect(self.failed)
        self._thread = QThread()
        self._thread.setObjectName(f"controller {target.describe()}")
        # Directly on the stop line's thread: the GUI thread may be waiting in wait().
        self._stop_line.closed.connect(self._thread.quit, Qt.DirectConnection)
        self._worker = ControllerWorker(target, library, units, link, self._ledger, self._relay)
        self._worker.moveToThread(self._thread)
        self._thread.started.connect(self._worker.open)
        self._submit.connect(self._worker.run)
        self._worker.opened.connect(self.opened)
        self._worker.failed.connect(self.failed)
        self._worker.lost.connect(self._end)
        self._worker.result.connect(self._deliver)
        self._thread.finished.connect(self._finish)
        self._thread.start()

    def post(self, action: str, call: Callable[[Any], Any], moves: Tuple[int, ...] = (),
             on_result: Optional[Callable[[Any], None]] = None) -> None:
        if self.alive and not self._ending:
            self._submit.emit(Request(action, call, moves, on_result, self._ledger.mark()))

    def halt(self, axes: Tuple[int, ...]) -> None:
        """Halts the axes at once; moves of them posted before do not run."""
        self._ledger.stop(axes)
        self._stop_line.halt(axes)

    def halt_all(self) -> None:
        self._ledger.stop(backend.AXES)
        self._stop_line.halt_all()

    def close(self) -> None:
        """Halts the axes this window set moving and closes the controller
        (which ends a request in progress); returns at once."""
        self._ending = True
        self._stop_line.close()

    def wait(self, milliseconds: int) -> bool:
        """After close(): waits for both threads (end of the program only)."""
        deadline = time.monotonic() + milliseconds / 1000
        return (self._stop_line.join(deadline - time.monotonic())
                and self._thread.wait(max(0, int((deadline - time.monotonic()) * 1000))))

    @pyqtSlot(str)
    def _end(self, text: str) -> None:
        if not self._ending:
            self.lost.emit(text)
            self.close()

    @pyqtSlot(object, object)
    def _deliver(self, request: Request, value: Any) -> None:
        if request.on_result is not None:
            request.on_result(value)

    @pyqtSlot()
    def _finish(self) -> None:
        self.alive = False
        self.finished.emit()
