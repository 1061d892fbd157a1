"""The panel of one axis: position, status lights and speed; moves, steps,
jog and stop; drive parameters and configuration file; units; plot."""
import functools
import logging
from typing import Any, Callable, Dict, Optional, Set, Tuple

from PyQt5.QtCore import Qt, pyqtSignal, pyqtSlot
from PyQt5.QtGui import QDoubleValidator, QFont
from PyQt5.QtWidgets import (QCheckBox, QFileDialog, QGridLayout, QGroupBox, QHBoxLayout, QLabel,
                             QLineEdit, QPushButton, QSpinBox, QVBoxLayout, QWidget)

from . import backend, config_file
from .plot import PositionPlot
from .settings import MAX_UNIT_LENGTH, AxisUnit, valid

log = logging.getLogger("dravex_gui")
# Colour of each status light when set; red marks a fault.
LIGHT_COLOURS = {"moving": "#1f8f3a", "target reached": "#1f5fbf", "end of travel": "#c62828",
                 "reference valid": "#1f8f3a"}
OFF_COLOUR = "#b0b0b0"
Post = Callable[..., None]  # ControllerSession.post
Halt = Callable[[Tuple[int, ...]], None]  # halts at once (ControllerView.halt)


class StatusLight(QLabel):
    def __init__(self, name: str) -> None:
        super().__init__()
        self.name = name
        self.on = False
        self.show_on(False)

    def show_on(self, on: bool) -> None:
        self.on = on
        colour = LIGHT_COLOURS[self.name] if on else OFF_COLOUR
        weight = "bold" if on else "normal"
        self.setText(f'<span style="color:{colour}; font-size:14pt">●</span> '
                     f'<span style="font-weight:{weight}">{self.name}</span>')


class AxisPanel(QWidget):
    message = pyqtSignal(str)
    unit_changed = pyqtSignal(int, object)  # axis, AxisUnit
    moved = pyqtSignal(int, object)         # axis, position (for tab titles)
    move_started = pyqtSignal(str, object)  # action, dravex MoveJudge of the move sent

    def __init__(self, axis: int, post: Post, halt: Halt, unit: AxisUnit,
                 parent: Optional[QWidget] = None) -> None:
        super().__init__(parent)
        self.axis = axis
        self._post = post
        self._halt = halt
        self.unit = unit
        self.state: Optional[backend.AxisState] = None
        self._snapshot: Any = None  # the last report (dravex Snapshot), in controller units
        self.jogging: Optional[bool] = None  # direction held, None when not jogging

        self.position = QLabel("—")
        font = QFont("DejaVu Sans Mono")
        font.setStyleHint(QFont.Monospace)
        font.setPointSize(26)
        font.setBold(True)
        self.position.setFont(font)
        self.position.setAlignment(Qt.AlignRight | Qt.AlignVCenter)
        self.position.setMinimumWidth(self.position.fontMetrics().horizontalAdvance("-0000000000.000 mm"))
        self.speed = QLabel("speed —")
        self.lights = {name: StatusLight(name) for name, _ in backend.STATUS_FLAGS}

        layout = QVBoxLayout(self)
        top = QHBoxLayout()
        readout = QVBoxLayout()
        readout.addWidget(self.position)
        readout.addWidget(self.speed, 0, Qt.AlignRight)
        top.addLayout(readout, 1)
        lights = QVBoxLayout()
        for light in self.lights.values():
            lights.addWidget(light)
        top.addLayout(lights)
        layout.addLayout(top)
        controls = QHBoxLayout()
        controls.addWidget(self._motion_group(), 3)
        controls.addWidget(self._drive_group(), 2)
        layout.addLayout(controls)
        self.plot = PositionPlot(axis, leading=self._unit_row())
        layout.addWidget(self.plot, 1)
        self._apply_unit(unit)

    # --- building -------------------------------------------------------
    def _button(self, text: str, slot: Callable[[], None], tip: str = "") -> QPushButton:
        button = QPushButton(text)
        button.clicked.connect(slot)
        button.setToolTip(tip)
        return button

    def _motion_group(self) -> QGroupBox:
        group = QGroupBox("Move")
        self.target = QLineEdit()
        self.target.setValidator(QDoubleValidator())
        self.target.setPlaceholderText("target or distance")
        self.target.returnPressed.connect(self.go_absolute)
        self.go_button = self._button("Go to", self.go_absolute, "move to this position")
        self.go_relative_button = self._button("Go by", self.go_relative, "move by this distance")
        self.step_back = self._button("Step −", functools.partial(self.step, False), "one step backward")
        self.step_forward = self._button("Step +", functools.partial(self.step, True), "one step forward")
        self.jog_back = QPushButton("◀ Jog")
        self.jog_forward = QPushButton("Jog ▶")
        for button, forward in ((self.jog_back, False), (self.jog_forward, True)):
            button.setToolTip("moves while held, stops on release")
            button.pressed.connect(functools.partial(self.start_jog, forward))
            button.released.connect(self.end_jog)
        self.stop_button = self._button("Stop", self.stop, "stop this axis")
        self.stop_button.setStyleSheet("font-weight: bold")
        grid = QGridLayout(group)
        grid.addWidget(self.target, 0, 0, 1, 2)
        grid.addWidget(self.go_button, 0, 2)
        grid.addWidget(self.go_relative_button, 0, 3)
        grid.addWidget(self.step_back, 1, 0)
        grid.addWidget(self.step_forward, 1, 1)
        grid.addWidget(self.jog_back, 1, 2)
        grid.addWidget(self.jog_forward, 1, 3)
        grid.addWidget(self.stop_button, 2, 0, 1, 4)
        return group

    def _drive_group(self) -> QGroupBox:
        group = QGroupBox("Drive")
        grid = QGridLayout(group)
        self.parameters: Dict[str, QSpinBox] = {}
        self._edited: Set[str] = set()  # parameters changed by the user, not yet sent
        for row, (name, (_, _, low, high)) in enumerate(backend.DRIVE_PARAMETERS.items()):
            box = QSpinBox()
            box.setRange(low, high)
            box.setToolTip(f"{low} … {high}")
            box.setKeyboardTracking(False)
            box.valueChanged.connect(lambda _, edited=name: self._edited.add(edited))
            box.editingFinished.connect(functools.partial(self.set_parameter, name))
            self.parameters[name] = box
            grid.addWidget(QLabel(name), row, 0)
            grid.addWidget(box, row, 1)
        self.output = QCheckBox("output")
        self.output.setToolTip("drive output of this axis on or off (the controller does not "
                               "report it: this shows what was last set here)")
        self.output.clicked.connect(self.set_output)
        self.read_button = self._button("Read", self.read_parameters,
                                        "ask the controller (may take up to 10 s)")
        self.load_button = self._button("Load file…", self.ask_load, "axis configuration file")
        row = len(self.parameters)
        grid.addWidget(self.output, row, 0)
        grid.addWidget(self.read_button, row, 1)
        grid.addWidget(self.load_button, row + 1, 0, 1, 2)
        return group

    def _unit_row(self) -> QWidget:
        row = QWidget()
        self.scale_edit = QLineEdit()
        self.scale_edit.setValidator(QDoubleValidator())
        self.scale_edit.setToolTip("shown value = controller value × scale; empty: the "
                                   "controller's own units")
        self.scale_edit.setPlaceholderText("none")
        self.unit_edit = QLineEdit()
        self.unit_edit.setMaxLength(MAX_UNIT_LENGTH)
        self.unit_edit.setPlaceholderText("e.g. µm")
        self.unit_edit.returnPressed.connect(self.apply_unit_edits)
        self.scale_edit.returnPressed.connect(self.apply_unit_edits)
        width = self.scale_edit.fontMetrics().horizontalAdvance("0.0000001") + 16
        for edit in (self.scale_edit, self.unit_edit):
            edit.setFixedWidth(width)
        line = QHBoxLayout(row)
        line.setContentsMargins(0, 0, 0, 0)
        line.addWidget(QLabel("Unit: scale"))
        line.addWidget(self.scale_edit)
        line.addWidget(QLabel("name"))
        line.addWidget(self.unit_edit)
        line.addWidget(self._button("Apply", self.apply_unit_edits,
                                    "positions, targets and the plot in this unit"))
        return row

    # --- display --------------------------------------------------------
    def show_snapshot(self, snapshot: Any) -> None:
        """Shows a report of the controller (a dravex Snapshot) in the axis's unit."""
        state = backend.AxisState(self.unit.shown(snapshot.position),
                                  self.unit.shown(snapshot.speed), snapshot.status)
        self.state, self._snapshot = state, snapshot
        self.position.setText(self.unit.format(state.position))
        self.speed.setText(f"speed {self.unit.format(state.speed)}/s")
        for name, attribute in backend.STATUS_FLAGS:
            light = self.lights[name]
            if light.on != state.flag(attribute):
                light.show_on(state.flag(attribute))
        self.plot.add(state.position, snapshot.reported_at)  # when the controller reported it
        self.moved.emit(self.axis, state.position)

    def show_parameters(self, values: Tuple[int, ...]) -> None:
        for box, value in zip(self.parameters.values(), values):
            box.blockSignals(True)
            box.setValue(value)
            box.blockSignals(False)

    def _apply_unit(self, unit: AxisUnit) -> None:
        self.unit = unit
        self.scale_edit.setText("" if unit.scale is None else f"{unit.scale:g}")
        self.unit_edit.setText(unit.unit)
        self.plot.set_unit(unit)  # starts a new plot: earlier points are in the old unit
        if self._snapshot is not None:  # a standing axis reports nothing new: show it now
            self.show_snapshot(self._snapshot)

    @pyqtSlot()
    def apply_unit_edits(self) -> None:
        text = self.scale_edit.text().strip().replace(",", ".")
        try:
            scale = float(text) if text else None
        except ValueError:
            scale = 0.0
        unit = self.unit_edit.text().strip()
        if not valid(scale, unit):
            self.message.emit("The scale must be a number other than 0 (or empty for the "
                              "controller's own units); enter it again.")
            return
        self._apply_unit(AxisUnit(scale, unit))
        self.unit_changed.emit(self.axis, self.unit)

    # --- requests -------------------------------------------------------
    def _request(self, action: str, call: Callable[[Any], Any], moves: bool = False,
                 on_result: Optional[Callable[[Any], None]] = None) -> None:
        log.info("%s", action)
        self._post(action, call, (self.axis,) if moves else (), on_result)

    def _move(self, action: str, call: Callable[[Any], Any]) -> None:
        """A move with a target: its judge goes to the window's follower."""
        action = f"{action} (axis {self.axis})"
        self._request(action, call, moves=True,
                      on_result=functools.partial(self.move_started.emit, action))

    def _entered(self) -> Optional[backend.Number]:
        try:
            return self.unit.parse(self.target.text())
        except ValueError as error:
            kind = "a whole number" if self.unit.scale is None else "a number"
            self.message.emit(f"Enter {kind} as target of axis {self.axis} "
                              f"({error if 'range' in str(error) else 'none given'}).")
            return None

    @pyqtSlot()
    def go_absolute(self) -> None:
        target = self._entered()
        if target is not None:
            self._move(f"Moving to {self.unit.format(target)}",
                       lambda c: backend.move_absolute(c, self.axis, target))

    @pyqtSlot()
    def go_relative(self) -> None:
        distance = self._entered()
        if distance is not None:
            self._move(f"Moving by {self.unit.format(distance)}",
                       lambda c: backend.move_relative(c, self.axis, distance))

    def step(self, forward: bool) -> None:
        self._request(f"Stepping {'forward' if forward else 'backward'} (axis {self.axis})",
                      lambda c: backend.step(c, self.axis, forward), moves=True)

    def start_jog(self, forward: bool) -> None:
        self.jogging = forward
        self._request(f"Jogging {'forward' if forward else 'backward'} (axis {self.axis})",
                      lambda c: backend.jog(c, self.axis, forward), moves=True)

    @pyqtSlot()
    def end_jog(self) -> None:
        if self.jogging is not None:
            self.jogging = None
            self.stop()

    @pyqtSlot()
    def stop(self) -> None:
        log.info("Stopping axis %d", self.axis)
        self._halt((self.axis,))

    def set_parameter(self, name: str) -> None:
        """Sends a value the user changed (leaving a box unchanged sends nothing)."""
        if name not in self._edited:
            return
        self._edited.discard(name)
        value = self.parameters[name].value()
        self._request(f"Setting the {name} of axis {self.axis} to {value}",
                      lambda c: backend.set_parameter(c, self.axis, name, value))

    @pyqtSlot(bool)
    def set_output(self, enable: bool) -> None:
        self._request(f"Switching the output of axis {self.axis} {'on' if enable else 'off'}",
                      lambda c: backend.set_output(c, self.axis, enable))

    @pyqtSlot()
    def read_parameters(self) -> None:
        self._request(f"Reading the drive parameters of axis {self.axis}",
                      lambda c: backend.read_parameters(c, self.axis), on_result=self.show_parameters)

    @pyqtSlot()
    def ask_load(self) -> None:
        path, _ = QFileDialog.getOpenFileName(self, f"Axis {self.axis}: configuration file")
        if path:
            self.load(path)

    def load(self, path: str) -> None:
        """Checks the file, then has the library send it to this axis."""
        try:
            sent, skipped = config_file.check(path)
        except (OSError, ValueError) as error:
            self.message.emit(f"Reading {path} failed ({error}); choose another file.")
            return
        for line in skipped:
            log.warning("%s: %s (skipped)", path, line)
        summary = (f"Axis {self.axis}: {path} loaded, {sent} parameter{'s' if sent != 1 else ''} "
                   f"sent, {len(skipped)} skipped")
        self._request(f"Loading {path} into axis {self.axis}",
                      lambda c: backend.load_configuration(c, self.axis, path),
                      on_result=lambda _: self.message.emit(summary + (" (see the log)." if skipped else ".")))
