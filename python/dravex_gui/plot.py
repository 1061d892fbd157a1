"""Live plot of one axis's position against time: the last 60 s,
pausable, exportable as CSV."""
import collections
import csv
import time
from typing import Deque, Optional, Tuple

from PyQt5.QtCore import QTimer, pyqtSlot
from PyQt5.QtWidgets import (QFileDialog, QHBoxLayout, QMessageBox, QPushButton, QVBoxLayout,
                             QWidget)

import pyqtgraph  # after PyQt5: pyqtgraph uses the Qt binding already imported

from .settings import AxisUnit

WINDOW_SECONDS = 60.0
REDRAW_MS = 100


class PositionPlot(QWidget):
    """leading: a widget shown left of the plot's buttons."""

    def __init__(self, axis: int, leading: Optional[QWidget] = None,
                 parent: Optional[QWidget] = None) -> None:
        super().__init__(parent)
        self.axis = axis
        self.unit = AxisUnit()
        self.samples: Deque[Tuple[float, float]] = collections.deque()  # (monotonic s, position)
        self.graph = pyqtgraph.PlotWidget(background="w")
        self.graph.showGrid(x=True, y=True, alpha=0.3)
        self.graph.setLabel("bottom", "time", units="s")
        self.graph.setXRange(-WINDOW_SECONDS, 0, padding=0)
        self.graph.setMinimumHeight(150)
        self.graph.getAxis("left").enableAutoSIPrefix(False)
        self.curve = self.graph.plot(pen=pyqtgraph.mkPen("#1f5fbf", width=2))
        # pyqtgraph 0.13.1 draws wide pens as line segments through a
        # QPainter.drawLines call that this PyQt5 rejects.
        self.curve.curve.setSegmentedLineMode("off")
        self.pause_button = QPushButton("Pause")
        self.pause_button.setCheckable(True)
        self.pause_button.toggled.connect(self._paused)
        self.export_button = QPushButton("Export CSV…")
        self.export_button.clicked.connect(self._ask_export)
        buttons = QHBoxLayout()
        if leading is not None:
            buttons.addWidget(leading)
        buttons.addStretch(1)
        buttons.addWidget(self.pause_button)
        buttons.addWidget(self.export_button)
        layout = QVBoxLayout(self)
        layout.setContentsMargins(0, 0, 0, 0)
        layout.addWidget(self.graph, 1)
        layout.addLayout(buttons)
        self.set_unit(self.unit)
        self._timer = QTimer(self)
        self._timer.timeout.connect(self.redraw)
        self._timer.start(REDRAW_MS)

    def set_unit(self, unit: AxisUnit) -> None:
        """Also clears the plot: its points are in the old unit."""
        self.unit = unit
        self.samples.clear()
        self.graph.setLabel("left", f"position ({unit.unit})" if unit.unit else "position")

    def add(self, position: float, now: Optional[float] = None) -> None:
        now = time.monotonic() if now is None else now
        self.samples.append((now, position))
        while self.samples and self.samples[0][0] < now - WINDOW_SECONDS:
            self.samples.popleft()

    @property
    def paused(self) -> bool:
        return self.pause_button.isChecked()

    @pyqtSlot(bool)
    def _paused(self, paused: bool) -> None:
        self.pause_button.setText("Resume" if paused else "Pause")

    @pyqtSlot()
    def redraw(self) -> None:
        """Scrolls the curve to now. The controller reports changes only,
        so the last position holds until now."""
        if self.paused or not self.isVisible():
            return
        now = time.monotonic()
        times = [t - now for t, _ in self.samples]
        positions = [position for _, position in self.samples]
        if positions:
            times.append(0.0)
            positions.append(positions[-1])
        self.curve.setData(times, positions)

    def points(self) -> int:
        """Number of points the curve shows."""
        x, _ = self.curve.getData()
        return 0 if x is None else len(x)

    @pyqtSlot()
    def _ask_export(self) -> None:
        path, _ = QFileDialog.getSaveFileName(self, f"Export axis {self.axis}",
                                              f"axis{self.axis}.csv", "CSV files (*.csv)")
        if not path:
            return
        try:
            self.export(path)
        except OSError as error:
            QMessageBox.warning(self, "Export", f"Writing {path} failed ({error.strerror}); "
                                               "choose another file.")

    def export(self, path: str) -> None:
        """Writes the shown 60 s: seconds before the newest sample, position."""
        samples = list(self.samples)
        last = samples[-1][0] if samples else 0.0
        with open(path, "w", newline="", encoding="utf-8") as file:
            writer = csv.writer(file)
            writer.writerow(["time_s", f"position_{self.unit.unit}" if self.unit.unit else "position"])
            for t, position in samples:
                writer.writerow([f"{t - last:.3f}", position])
