"""Drives positioner-gui through a few moves of a simulated controller and
saves pictures of the main window during the last move (run by
scripts/gui-screenshot, inside a private network namespace, on Xvfb).

    python3 gui_screenshot.py ADDRESS OUTPUT.png [OUTPUT-LIST.png]
"""
import os
import sys
import time

from PyQt5.QtCore import QEventLoop
from PyQt5.QtWidgets import QApplication

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
from dravex_gui.backend import Library  # noqa: E402
from dravex_gui.main_window import MainWindow  # noqa: E402


def run_for(app, seconds, until=lambda: False):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and not until():
        app.processEvents(QEventLoop.AllEvents, 20)
        time.sleep(0.01)


def move(app, panel, target, wait=True):
    panel.target.setText(target)
    panel.go_button.click()
    run_for(app, 2, lambda: panel.lights["moving"].on)
    if wait:
        run_for(app, 30, lambda: not panel.lights["moving"].on)
        run_for(app, 1.0)


def main(address, picture, list_picture=None):
    app = QApplication(sys.argv[:1])
    window = MainWindow(Library())
    window.resize(1280, 860)
    window.show()
    window.controller_list.rescan()
    run_for(app, 10, lambda: bool(window.controller_list.entries)
            and window.controller_list.open_button.isEnabled())
    view = window.open_controller(window.controller_list.entries[0].target())
    run_for(app, 10, lambda: view.condition == "open")
    panel = view.panels[0]
    panel.scale_edit.setText("0.001")
    panel.unit_edit.setText("µm")
    panel.apply_unit_edits()
    run_for(app, 1.0)
    move(app, panel, "2500")
    move(app, panel, "800")
    panel.step_forward.click()
    run_for(app, 1.0)
    move(app, panel, "3600", wait=False)
    run_for(app, 4.0)  # during the move
    window.grab().save(picture)
    if list_picture:
        window.controller_list.grab().save(list_picture)
    window.stop_all()
    run_for(app, 1.0)
    window.close()
    window.shutdown()


if __name__ == "__main__":
    main(*sys.argv[1:])
