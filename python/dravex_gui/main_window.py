"""The main window: controller list, one tab per open controller, the log
pane, STOP ALL (also the Escape key)."""
import logging
from typing import List, Optional

from PyQt5.QtCore import QEvent, Qt, pyqtSlot
from PyQt5.QtGui import QCloseEvent, QKeySequence
from PyQt5.QtWidgets import (QDockWidget, QMainWindow, QPushButton, QShortcut, QSplitter,
                             QTabWidget, QToolBar, QWidget)

from . import backend
from .controller_list import ControllerList
from .controller_view import ControllerView
from .log_pane import LogPane

LOGGERS = (backend.LOGGER_NAME, "dravex_gui")
CLOSE_WAIT_MS = 15000  # closing ends a waiting getter; the close itself may take seconds
log = logging.getLogger("dravex_gui")


class MainWindow(QMainWindow):
    def __init__(self, library: backend.Library, parent: Optional[QWidget] = None) -> None:
        super().__init__(parent)
        self.setWindowTitle("Positioner")
        self._library = library
        self.views: List[ControllerView] = []

        self.stop_all_button = QPushButton("STOP ALL  (Esc)")
        self.stop_all_button.setToolTip("stop every axis of every open controller")
        self.stop_all_button.setStyleSheet(
            "QPushButton { background: #c62828; color: white; font-weight: bold; font-size: 13pt;"
            " padding: 6px 18px; border-radius: 4px; }"
            "QPushButton:pressed { background: #8e0000; }")
        self.stop_all_button.clicked.connect(self.stop_all)
        toolbar = QToolBar("Safety")
        toolbar.setMovable(False)
        toolbar.addWidget(self.stop_all_button)
        self.addToolBar(toolbar)
        self.stop_shortcut = QShortcut(QKeySequence(Qt.Key_Escape), self)
        self.stop_shortcut.setContext(Qt.ApplicationShortcut)
        self.stop_shortcut.activated.connect(self.stop_all)

        self.controller_list = ControllerList(library)
        self.controller_list.open_requested.connect(self.open_controller)
        self.controllers = QTabWidget()
        self.controllers.setTabsClosable(False)
        splitter = QSplitter()
        splitter.addWidget(self.controller_list)
        splitter.addWidget(self.controllers)
        splitter.setStretchFactor(1, 1)
        splitter.setSizes([330, 900])
        self.setCentralWidget(splitter)

        self.log_pane = LogPane()
        dock = QDockWidget("Log")
        dock.setObjectName("log")
        dock.setFeatures(QDockWidget.DockWidgetMovable | QDockWidget.DockWidgetFloatable)
        dock.setWidget(self.log_pane)
        self.addDockWidget(Qt.BottomDockWidgetArea, dock)
        self.resizeDocks([dock], [140], Qt.Vertical)  # the rest to the axis panels
        self.log_pane.attach(*map(logging.getLogger, LOGGERS))
        self.statusBar().showMessage("Rescan to find controllers, or open one by address.")

    @pyqtSlot(object)
    def open_controller(self, target: backend.Target) -> ControllerView:
        for view in self.views:
            if view.target.same_controller(target):
                view.connect_controller()
                self.controllers.setCurrentWidget(view)
                return view
        view = ControllerView(target, self._library)
        view.message.connect(self.show_message)
        self.views.append(view)
        self.controllers.addTab(view, target.describe())
        self.controllers.setCurrentWidget(view)
        return view

    @pyqtSlot(str)
    def show_message(self, text: str) -> None:
        self.statusBar().showMessage(text, 15000)

    @pyqtSlot()
    def stop_all(self) -> None:
        for view in self.views:
            view.stop_all()
        log.info("STOP ALL")
        self.statusBar().showMessage("STOP ALL sent to every open controller.", 5000)

    def changeEvent(self, event: QEvent) -> None:
        # A jog button held while the window loses focus never sees its
        # release: stop such jogs at once.
        if event.type() == QEvent.ActivationChange and not self.isActiveWindow():
            for view in self.views:
                view.release_jogs()
        super().changeEvent(event)

    def closeEvent(self, event: QCloseEvent) -> None:
        for view in self.views:
            view.close_controller()
        super().closeEvent(event)

    def shutdown(self) -> None:
        """After the window closed: waits for the workers to stop what they
        started and close."""
        for view in self.views:
            view.close_controller()
        unfinished = [view.target.describe() for view in self.views if not view.wait(CLOSE_WAIT_MS)]
        self.controller_list.wait_for_scan(CLOSE_WAIT_MS)
        self.log_pane.detach(*map(logging.getLogger, LOGGERS))
        if unfinished:
            raise SystemExit(f"positioner-gui: {', '.join(unfinished)} did not close within "
                             f"{CLOSE_WAIT_MS // 1000} s")
