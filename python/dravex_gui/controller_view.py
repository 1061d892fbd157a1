"""One open controller: its state line (open, lost, reconnect, close)
and one tab per axis. Owns the controller's session (worker thread, stop
line, reports) and the follower of the moves started here."""
import logging
from typing import Any, Dict, List, Optional, Set, Tuple

from PyQt5.QtCore import pyqtSignal, pyqtSlot
from PyQt5.QtWidgets import QHBoxLayout, QLabel, QPushButton, QTabWidget, QVBoxLayout, QWidget

from . import backend, settings
from .axis_panel import AxisPanel
from .moves import MoveFollower
from .session import ControllerSession

log = logging.getLogger("dravex_gui")


class ControllerView(QWidget):
    message = pyqtSignal(str)
    finished = pyqtSignal()  # the worker thread ended (closed or lost)

    def __init__(self, target: backend.Target, library: backend.Library,
                 parent: Optional[QWidget] = None) -> None:
        super().__init__(parent)
        self.target = target
        self._library = library
        self.lost_reason = ""
        self.condition = ""  # "opening…", "open", "LOST", "NOT OPENED" or "closed"
        self.session: Optional[ControllerSession] = None
        self.units = settings.load_units(target.settings_key())

        self.title = QLabel(f"<b>{target.describe()}</b>")
        self.state = QLabel()
        self.state.setWordWrap(True)  # a long reason must not widen the window
        self.reconnect_button = QPushButton("Reconnect")
        self.reconnect_button.clicked.connect(self.connect_controller)
        self.close_button = QPushButton("Close")
        self.close_button.clicked.connect(self.close_controller)
        header = QHBoxLayout()
        header.addWidget(self.title)
        header.addWidget(self.state, 1)
        header.addWidget(self.reconnect_button)
        header.addWidget(self.close_button)
        self.follower = MoveFollower(self._send_halt, self)
        self.follower.started.connect(self.message)
        self.follower.arrived.connect(self.message)
        self.follower.failed.connect(self._failed)
        self.tabs = QTabWidget()
        self.panels: List[AxisPanel] = []
        for axis in backend.AXES:
            panel = AxisPanel(axis, self._post, self.halt, self.units.get(axis, settings.AxisUnit()))
            panel.message.connect(self.message)
            panel.move_started.connect(self.follower.follow)
            panel.unit_changed.connect(self._save_unit)
            panel.moved.connect(self._retitle)
            self.panels.append(panel)
            self.tabs.addTab(panel, f"Axis {axis}")
        self._unread: Set[int] = set()
        self.tabs.currentChanged.connect(self._read_shown_axis)
        layout = QVBoxLayout(self)
        layout.addLayout(header)
        layout.addWidget(self.tabs, 1)
        self.connect_controller()

    @property
    def is_open(self) -> bool:
        return self.session is not None and self.session.alive

    def _post(self, *args: object) -> None:
        if self.session is not None:
            self.session.post(*args)  # type: ignore[arg-type]

    def _show_state(self, condition: str, colour: str, detail: str = "") -> None:
        self.condition = condition
        text = f"{condition} — {detail}" if detail else condition
        self.state.setText(f'<span style="color:{colour}; font-weight:bold">{text}</span>')

    @pyqtSlot()
    def connect_controller(self) -> None:
        if self.is_open:
            return
        self.lost_reason = ""
        self._show_state("opening…", "#8a5a00")
        self.reconnect_button.setEnabled(False)
        if self.session is not None:
            self.session.deleteLater()  # its thread has ended
        self.session = ControllerSession(self.target, self._library, self.units, self)
        self.session.opened.connect(self._opened)
        self.session.snapshots.connect(self._show_snapshots)
        self.session.failed.connect(self._failed)
        self.session.lost.connect(self._lost)
        self.session.finished.connect(self._finished)

    @pyqtSlot(object)
    def _opened(self, found: backend.Target) -> None:
        self.target = found
        self.title.setText(f"<b>{found.describe()}</b>")
        self._show_state("open", "#1f8f3a")
        self._set_controls_enabled(True)
        log.info("%s opened", found.describe())
        self.message.emit(f"{found.describe()} opened.")
        self._unread = set(backend.AXES)
        self._read_shown_axis()

    @pyqtSlot()
    def _read_shown_axis(self) -> None:
        """Drive parameters are asked for when an axis is first shown: a
        controller that does not answer then holds the worker for one
        getter's wait, not for one per axis."""
        axis = self.tabs.currentIndex()
        if self.is_open and axis in self._unread:
            self._unread.discard(axis)
            self.panels[axis].read_parameters()

    @pyqtSlot(object)
    def _show_snapshots(self, snapshots: Dict[int, Any]) -> None:
        for axis, snapshot in snapshots.items():
            self.panels[axis].show_snapshot(snapshot)
            self.follower.report(axis, snapshot)

    @pyqtSlot(str)
    def _failed(self, text: str) -> None:
        log.error("%s: %s", self.target.describe(), text)
        self.message.emit(text)

    @pyqtSlot(str)
    def _lost(self, text: str) -> None:
        self.lost_reason = text
        if self.condition == "open":
            log.error("%s lost: %s", self.target.describe(), text)
            self._show_state("LOST", "#c62828", text)
        else:  # opening failed
            log.error("%s", text)
            self._show_state("NOT OPENED", "#c62828", text)
        self.message.emit(text)

    @pyqtSlot()
    def _finished(self) -> None:
        for panel in self.panels:
            panel.jogging = None
        self.follower.forget(backend.AXES)
        self._set_controls_enabled(False)
        self.reconnect_button.setEnabled(True)
        if not self.lost_reason:
            self._show_state("closed", "#606060")
        self.finished.emit()

    def _set_controls_enabled(self, enabled: bool) -> None:
        for panel in self.panels:
            panel.setEnabled(enabled)
        self.close_button.setEnabled(enabled)

    @pyqtSlot()
    def close_controller(self) -> None:
        """Stops what this program started on the controller and closes it."""
        if self.session is not None:
            self.session.close()

    def halt(self, axes: Tuple[int, ...]) -> None:
        """Halts the axes at once (not behind a running request); their
        moves end without a report."""
        self._send_halt(axes)
        self.follower.forget(axes)

    def _send_halt(self, axes: Tuple[int, ...]) -> None:
        """Also the follower's halt of a failed move, which it then reports."""
        if self.session is not None:
            self.session.halt(axes)

    def stop_all(self) -> None:
        """Halts every axis at once (not behind a running request)."""
        if self.session is not None:
            self.session.halt_all()
        for panel in self.panels:
            panel.jogging = None
        self.follower.forget(backend.AXES)

    def release_jogs(self) -> None:
        for panel in self.panels:
            panel.end_jog()

    def wait(self, milliseconds: int) -> bool:
        return self.session is None or self.session.wait(milliseconds)

    @pyqtSlot(int, object)
    def _save_unit(self, axis: int, unit: settings.AxisUnit) -> None:
        self.units[axis] = unit
        self._post(f"Setting the unit of axis {axis}",
                   lambda c: backend.set_unit(c, axis, unit.scale, unit.unit))
        try:
            settings.save_units(self.target.settings_key(), self.units)
        except OSError as error:
            self.message.emit(f"Saving the units failed ({error.strerror}); "
                              f"check {settings.config_directory()}.")

    @pyqtSlot(int, object)
    def _retitle(self, axis: int, position: float) -> None:
        title = f"Axis {axis}: {self.panels[axis].unit.format(position)}"
        if self.tabs.tabText(axis) != title:
            self.tabs.setTabText(axis, title)

