"""Carries the reports of a controller's monitor (dravex.monitor) to the
GUI thread. The listener runs on the monitor's thread and must not block:
it only notes the newest snapshot of each axis and, when no delivery is on
its way, posts one; the GUI thread then takes every noted snapshot at once,
so that a burst of reports costs one repaint. A lost connection is passed
on at once."""
import threading
from typing import Any, Dict, Optional

from PyQt5.QtCore import QObject, Qt, pyqtSignal, pyqtSlot

Snapshots = Dict[int, Any]  # axis -> dravex.monitor.Snapshot (controller units)


class ReportRelay(QObject):
    snapshots = pyqtSignal(object)  # Snapshots, on the GUI thread
    lost = pyqtSignal()             # on the GUI thread
    _noted = pyqtSignal()
    _ended = pyqtSignal()

    def __init__(self, parent: Optional[QObject] = None) -> None:
        super().__init__(parent)
        self._lock = threading.Lock()
        self._latest: Snapshots = {}
        self._newest: Dict[int, float] = {}  # axis -> reported_at of the last one noted
        self._queued = False
        self._noted.connect(self._deliver, Qt.QueuedConnection)
        self._ended.connect(self.lost, Qt.QueuedConnection)

    def watch(self, monitor: Any) -> None:
        """Listens to the monitor and notes what it already holds (any thread)."""
        monitor.subscribe(self._note, self._ended.emit)
        for axis, snapshot in monitor.snapshots().items():
            if snapshot.reported:
                self._note(axis, snapshot)

    def _note(self, axis: int, snapshot: Any) -> None:
        with self._lock:
            if snapshot.reported_at < self._newest.get(axis, 0.0):
                return  # an older one noted late (watch's first look)
            self._newest[axis] = snapshot.reported_at
            self._latest[axis] = snapshot
            if self._queued:
                return
            self._queued = True
        self._noted.emit()

    @pyqtSlot()
    def _deliver(self) -> None:
        with self._lock:
            latest, self._latest = self._latest, {}
            self._queued = False
        if latest:
            self.snapshots.emit(latest)
