"""The log pane: records of the "dravex" logger (the library's trace
lines) and of the GUI itself, from any thread."""
import logging
from typing import Optional

from PyQt5.QtCore import QObject, pyqtSignal, pyqtSlot
from PyQt5.QtGui import QColor, QTextCharFormat
from PyQt5.QtWidgets import QPlainTextEdit, QWidget

MAX_LINES = 2000


class _Bridge(QObject):
    record = pyqtSignal(int, str)


class QtLogHandler(logging.Handler):
    """Passes records to the GUI thread by a queued signal."""

    def __init__(self) -> None:
        super().__init__(logging.DEBUG)
        self.bridge = _Bridge()
        self.setFormatter(logging.Formatter("%(asctime)s %(levelname)-7s %(name)s: %(message)s",
                                            "%H:%M:%S"))

    def emit(self, record: logging.LogRecord) -> None:
        try:
            self.bridge.record.emit(record.levelno, self.format(record))
        except RuntimeError:
            pass  # the pane is gone (program ending)


class LogPane(QPlainTextEdit):
    def __init__(self, parent: Optional[QWidget] = None) -> None:
        super().__init__(parent)
        self.setReadOnly(True)
        self.setMaximumBlockCount(MAX_LINES)
        self.setPlaceholderText("Messages of the library and of this program")
        self.handler = QtLogHandler()
        self.handler.bridge.record.connect(self.append_record)

    def attach(self, *loggers: logging.Logger) -> None:
        for logger in loggers:
            logger.addHandler(self.handler)
            if logger.level == logging.NOTSET or logger.level > logging.DEBUG:
                logger.setLevel(logging.DEBUG)

    def detach(self, *loggers: logging.Logger) -> None:
        for logger in loggers:
            logger.removeHandler(self.handler)

    @pyqtSlot(int, str)
    def append_record(self, level: int, text: str) -> None:
        form = QTextCharFormat()
        if level >= logging.ERROR:
            form.setForeground(QColor("#b00020"))
        elif level >= logging.WARNING:
            form.setForeground(QColor("#8a5a00"))
        cursor = self.textCursor()
        cursor.movePosition(cursor.End)
        if not self.document().isEmpty():
            cursor.insertBlock()
        cursor.insertText(text, form)
        self.verticalScrollBar().setValue(self.verticalScrollBar().maximum())
