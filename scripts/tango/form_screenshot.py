"""A picture of `taurus form` showing the axis devices while one of them
moves: starts Xvfb (xvfb-run), opens a TaurusForm with the state, position
and speed of each device, moves the first device's axis (every device's with --move-all) and
saves the form to a PNG while the moves run.

    form_screenshot.py [--move-all] FILE.png DEVICE [DEVICE...]
"""
import os
import subprocess
import sys

ATTRIBUTES = ("State", "Position", "Speed")
MOVE_BY = 2000.0         # in the first device's unit: 2 s at the simulator's speed in um
MOVE_AT_MS = 1500        # once the form has filled in
GRAB_AT_MS = 2500        # during the move


def under_xvfb():
    # xvfb-run starts a private X server for this one program and stops it after.
    return subprocess.call(["xvfb-run", "-a", "-s", "-screen 0 1280x800x24",
                            sys.executable, *sys.argv], env={**os.environ, "UC_UNDER_XVFB": "1"})


def grab(path, devices, move_all):
    import tango
    from taurus.external.qt import Qt
    from taurus.qt.qtgui.application import TaurusApplication
    from taurus.qt.qtgui.panel import TaurusForm

    app = TaurusApplication(cmd_line_parser=None, app_name="positioner-form")
    form = TaurusForm()
    form.setWindowTitle("taurus form: positioner axes")
    form.setModel([f"{device}/{name}" for device in devices for name in ATTRIBUTES])
    for item in form:
        item.labelConfig = "{dev.name}/{attr.label}"
    form.resize(900, 60 + 31 * len(devices) * len(ATTRIBUTES))
    form.show()

    movers = [tango.DeviceProxy(device) for device in (devices if move_all else devices[:1])]
    for mover in movers:
        Qt.QTimer.singleShot(MOVE_AT_MS, lambda mover=mover: mover.command_inout("MoveRelative", MOVE_BY))

    def save():
        saved = form.grab().save(path)
        print(f"saved {path}" if saved else f"could not save {path}")
        app.exit(0 if saved else 1)

    Qt.QTimer.singleShot(GRAB_AT_MS, save)
    return app.exec_()


if __name__ == "__main__":
    arguments = sys.argv[1:]
    move_all = arguments[:1] == ["--move-all"]
    arguments = arguments[move_all:]
    if len(arguments) < 2:
        sys.exit(__doc__)
    if os.environ.get("UC_UNDER_XVFB") != "1":
        sys.exit(under_xvfb())
    sys.exit(grab(arguments[0], arguments[1:], move_all))
