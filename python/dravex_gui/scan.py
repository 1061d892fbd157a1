"""The controller scan, on a thread of its own (it takes seconds)."""
from typing import Optional

from PyQt5.QtCore import QObject, QThread, pyqtSignal

from . import backend


class ScanThread(QThread):
    """Runs one scan; emits found(list of ControllerEntry) or failed(str)."""
    found = pyqtSignal(object)
    failed = pyqtSignal(str)

    def __init__(self, library: backend.Library, parent: Optional[QObject] = None) -> None:
        super().__init__(parent)
        self._library = library

    def run(self) -> None:
        try:
            entries = self._library.scan()
        except backend.LibraryError as error:
            self.failed.emit(backend.sentence(error, "Scanning for controllers"))
            return
        self.found.emit(entries)
