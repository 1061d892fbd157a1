"""positioner-gui: a desktop program to find, watch and move the axes of
positioner controllers.

    positioner-gui                  scans and lists the controllers
    positioner-gui --address HOST   opens the controller at HOST at once
"""
import argparse
import signal
import sys
from typing import List, Optional

from PyQt5.QtCore import QTimer
from PyQt5.QtWidgets import QApplication

from . import backend
from .main_window import MainWindow


def parse_arguments(argv: List[str]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(prog="positioner-gui", description=__doc__.split("\n")[0])
    parser.add_argument("--address", metavar="HOST",
                        help="open the controller at this IPv4 address or host name (no scan)")
    return parser.parse_args(argv)


def main(argv: Optional[List[str]] = None) -> int:
    arguments = parse_arguments(sys.argv[1:] if argv is None else argv)
    app = QApplication.instance() or QApplication(sys.argv[:1])
    app.setApplicationName("positioner-gui")
    library = backend.Library()
    window = MainWindow(library)
    window.resize(1280, 860)
    window.show()
    if arguments.address:
        window.open_controller(backend.Target(address=arguments.address))
    else:
        window.controller_list.rescan()
    # Ctrl-C in the terminal closes the window the normal way (stopping
    # what was started); the timer lets Python see the signal.
    signal.signal(signal.SIGINT, lambda *_: window.close())
    wake = QTimer()
    wake.timeout.connect(lambda: None)
    wake.start(200)
    app.exec_()
    window.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
