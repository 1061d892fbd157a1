"""The controller scan, on a thread of its own (it takes seconds)."""
from typing import Optional

from PyQt5.QtCore import QObject, QThread, pyqtSignal

from . import backend


class ScanThread(QThread):
    """Runs one scan; emits found(list of ControllerEntry) or failed(str)."""
    found = pyqtSignal(object)
    failed = pyqtSignal(str)

    def __init__(self, library_log: backend.LibraryLog, parent: Optional[QObject] = None) -> None:
        super().__init__(parent)
        self._library_log = library_log

    def run(self) -> None:
        try:
            entries = backend.find_controllers()
        except backend.LibraryError as error:
            self.failed.emit(backend.sentence(error, "Scanning for controllers"))
            return
        finally:
            self._library_log.start()  # the scan reset the library's tracing
        self.found.emit(entries)
