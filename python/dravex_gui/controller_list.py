"""The controller list: one row per controller found by a scan, a rescan
button, and opening by address."""
from typing import List, Optional

from PyQt5.QtCore import Qt, pyqtSignal, pyqtSlot
from PyQt5.QtWidgets import (QAbstractItemView, QHBoxLayout, QHeaderView, QLabel, QLineEdit,
                             QPushButton, QTableWidget, QTableWidgetItem, QVBoxLayout, QWidget)

from . import backend
from .scan import ScanThread

COLUMNS = ("Id", "Carrier", "Address", "Devices")
MAX_ADDRESS_LENGTH = 115  # what the library's address field holds


class ControllerList(QWidget):
    open_requested = pyqtSignal(object)  # backend.Target

    def __init__(self, library: backend.Library, parent: Optional[QWidget] = None) -> None:
        super().__init__(parent)
        self._library = library
        self._scan: Optional[ScanThread] = None
        self.entries: List[backend.ControllerEntry] = []

        self.table = QTableWidget(0, len(COLUMNS))
        self.table.setHorizontalHeaderLabels(COLUMNS)
        self.table.setSelectionBehavior(QAbstractItemView.SelectRows)
        self.table.setSelectionMode(QAbstractItemView.SingleSelection)
        self.table.setEditTriggers(QAbstractItemView.NoEditTriggers)
        self.table.verticalHeader().hide()
        self.table.horizontalHeader().setSectionResizeMode(QHeaderView.ResizeToContents)
        self.table.horizontalHeader().setStretchLastSection(True)
        self.table.doubleClicked.connect(self._open_selected)
        self.rescan_button = QPushButton("Rescan")
        self.rescan_button.clicked.connect(self.rescan)
        self.open_button = QPushButton("Open")
        self.open_button.clicked.connect(self._open_selected)
        self.state = QLabel("")
        self.address = QLineEdit()
        self.address.setPlaceholderText("address or host name")
        self.address.setMaxLength(MAX_ADDRESS_LENGTH)
        self.address.returnPressed.connect(self._open_address)
        self.open_address_button = QPushButton("Open address")
        self.open_address_button.clicked.connect(self._open_address)

        buttons = QHBoxLayout()
        buttons.addWidget(self.rescan_button)
        buttons.addWidget(self.open_button)
        buttons.addWidget(self.state, 1)
        by_address = QHBoxLayout()
        by_address.addWidget(self.address, 1)
        by_address.addWidget(self.open_address_button)
        layout = QVBoxLayout(self)
        layout.addWidget(self.table, 1)
        layout.addLayout(buttons)
        layout.addLayout(by_address)

    def _update_buttons(self) -> None:
        scanning = self._scan is not None
        self.rescan_button.setEnabled(not scanning)
        self.open_button.setEnabled(not scanning)

    @pyqtSlot()
    def rescan(self) -> None:
        if self._scan is not None:
            return
        self.state.setText("Scanning…")
        self._scan = ScanThread(self._library, self)
        self._scan.found.connect(self._show)
        self._scan.failed.connect(self.state.setText)
        self._scan.finished.connect(self._scan_finished)
        self._scan.finished.connect(self._scan.deleteLater)
        self._update_buttons()
        self._scan.start()

    def wait_for_scan(self, milliseconds: int) -> bool:
        return self._scan is None or self._scan.wait(milliseconds)

    @pyqtSlot()
    def _scan_finished(self) -> None:
        self._scan = None
        self._update_buttons()

    @pyqtSlot(object)
    def _show(self, entries: List[backend.ControllerEntry]) -> None:
        self.entries = entries
        self.table.setRowCount(len(entries))
        for row, entry in enumerate(entries):
            hardware_id = "?" if entry.hardware_id is None else str(entry.hardware_id)
            cells = (hardware_id, entry.carrier or "-", entry.address or "-",
                     ", ".join(map(str, entry.devices)))
            for column, text in enumerate(cells):
                item = QTableWidgetItem(text)
                alignment = Qt.AlignRight if column == 0 else Qt.AlignLeft
                item.setTextAlignment(Qt.AlignVCenter | alignment)
                self.table.setItem(row, column, item)
        if entries:
            self.table.selectRow(0)
        self.state.setText(f"{len(entries)} controller{'s' if len(entries) != 1 else ''} found")

    @pyqtSlot()
    def _open_selected(self) -> None:
        rows = self.table.selectionModel().selectedRows()
        if rows and self._scan is None:
            self.open_requested.emit(self.entries[rows[0].row()].target())

    @pyqtSlot()
    def _open_address(self) -> None:
        address = self.address.text().strip()
        if address:
            self.open_requested.emit(backend.Target(address=address))
