"""The worker of one open controller: opens it and runs the window's
requests (moves, drive parameters, files) one after the other on its own
QThread, so that a querying getter, which waits up to 10 s for its answer,
never holds the GUI thread. Stops never pass here (see stop_line.py), and
the reported positions come from the controller's monitor (reports.py).
"""
import dataclasses
import logging
from typing import Any, Callable, Dict, Optional, Tuple

from PyQt5.QtCore import QObject, pyqtSignal, pyqtSlot

from . import backend
from .link import Link
from .reports import ReportRelay
from .settings import AxisUnit
from .stop_line import StopLedger

log = logging.getLogger("dravex_gui")


@dataclasses.dataclass(frozen=True)
class Request:
    """One job for the worker thread."""
    action: str                          # "Moving to 5 (axis 0)", for messages
    call: Callable[[Any], Any]           # runs with the open dravex.Controller
    moves: Tuple[int, ...] = ()          # axes this request sets moving
    on_result: Optional[Callable[[Any], None]] = None  # runs on the GUI thread
    posted: int = 0                      # StopLedger mark when posted


class ControllerWorker(QObject):
    opened = pyqtSignal(object)          # backend.Target, as opening found it
    result = pyqtSignal(object, object)  # Request, value
    failed = pyqtSignal(str)             # one sentence
    lost = pyqtSignal(str)               # one sentence: the controller is gone or never opened

    def __init__(self, target: backend.Target, library: backend.Library,
                 units: Dict[int, AxisUnit], link: Link, ledger: StopLedger,
                 relay: ReportRelay) -> None:
        super().__init__()
        self.target = target
        self._library = library
        self._units = dict(units)
        self._link, self._ledger, self._relay = link, ledger, relay

    @pyqtSlot()
    def open(self) -> None:
        action = f"Opening {self.target.describe()}"
        try:
            controller = self._library.open(self.target)
        except backend.LibraryError as error:
            log.info("%s: %s", action, error)
            self.lost.emit(backend.sentence(error, action))
            return
        for axis, unit in self._units.items():
            backend.set_unit(controller, axis, unit.scale, unit.unit)
        self._relay.watch(controller.monitor)
        if not self._link.attach(controller):  # the window closed it meanwhile
            backend.close_controller(controller)
            return
        self.opened.emit(backend.identify(controller, self.target))

    @pyqtSlot(object)
    def run(self, request: Request) -> None:
        controller = self._link.controller()
        if controller is None or self._stopped(request):
            return  # closing, or a stop of its axes came after it was posted
        self._link.note_moved(request.moves)
        try:
            value = request.call(controller)
        except (backend.LibraryError, ValueError, TypeError) as error:
            self._report(error, request.action)
            return
        finally:
            if self._stopped(request):
                # The stop went out while this move was being sent: again.
                self._halt_again(controller, request)
        if not self._stopped(request):  # a stopped move has no end to follow
            self.result.emit(request, value)

    def _stopped(self, request: Request) -> bool:
        return bool(request.moves) and self._ledger.stopped_since(request.moves, request.posted)

    def _halt_again(self, controller: Any, request: Request) -> None:
        try:
            backend.halt(controller, request.moves)
        except backend.LibraryError as error:
            self._report(error, f"Stopping axis {', '.join(map(str, request.moves))}")

    def _report(self, error: BaseException, action: str) -> None:
        if self._link.closing:
            return  # the window's close ended the call
        log.info("%s: %s", action, error)
        text = backend.sentence(error, action)
        if isinstance(error, backend.NotConnected):
            self.lost.emit(text)
        else:
            self.failed.emit(text)
