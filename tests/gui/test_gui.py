"""positioner-gui against simulated controllers: opening, moving, how a
move ended, jog, STOP ALL, a lost controller, and a GUI thread that keeps running while a
getter waits for a controller that does not answer."""
import os
import signal
import subprocess
import sys
import time

from PyQt5.QtCore import QEvent, Qt, QTimer
from PyQt5.QtWidgets import QApplication

from conftest import Simulator, open_address, stands_still, wait_open
from dravex_gui.backend import Library
from dravex_gui.main_window import MainWindow

FAR = 40_000_000  # 40 s of travel at the simulator's speed


def test_scan_lists_and_opens_the_controller(window, qtbot, simulator):
    listing = window.controller_list
    listing.rescan()
    qtbot.waitUntil(lambda: bool(listing.entries) and listing.open_button.isEnabled(),
                    timeout=10000)
    rows = [(listing.table.item(r, 0).text(), listing.table.item(r, 1).text(),
             listing.table.item(r, 2).text()) for r in range(listing.table.rowCount())]
    assert ("1000", "tcp", "127.0.0.2") in rows
    listing.table.selectRow(rows.index(("1000", "tcp", "127.0.0.2")))
    listing.open_button.click()
    view = window.views[-1]
    wait_open(qtbot, view)
    assert "id 1000" in view.title.text()
    # The drive parameters of the shown axis are asked for on opening; an
    # edited one is sent.
    amplitude = view.panels[0].parameters["amplitude"]
    qtbot.waitUntil(lambda: amplitude.value() > 0, timeout=5000)  # shows 0 until read
    edited = amplitude.value() + 5000
    amplitude.setValue(edited)
    amplitude.editingFinished.emit()
    amplitude.setValue(0)  # shown, not sent
    view.panels[0].read_parameters()
    qtbot.waitUntil(lambda: amplitude.value() == edited, timeout=5000)


def test_move_shows_in_position_display_and_plot(window, qtbot, simulator, tmp_path):
    view = open_address(window, qtbot, simulator.address)
    panel = view.panels[0]
    target = panel.state.position + 700_000
    panel.target.setText(str(target))
    panel.go_button.click()
    qtbot.waitUntil(lambda: panel.lights["moving"].on, timeout=5000)
    qtbot.waitUntil(lambda: panel.lights["target reached"].on and not panel.lights["moving"].on,
                    timeout=5000)
    assert panel.position.text() == str(target)
    assert str(target) in view.tabs.tabText(0)
    # The curve ends at the target and shows the way there.
    qtbot.waitUntil(lambda: panel.plot.points() > 10
                    and panel.plot.curve.getData()[1][-1] == target, timeout=5000)
    assert min(panel.plot.curve.getData()[1]) < target
    panel.plot.export(tmp_path / "axis0.csv")
    rows = (tmp_path / "axis0.csv").read_text().splitlines()
    assert rows[0] == "time_s,position" and rows[-1] == f"0.000,{target}" and len(rows) > 10


def test_units_are_kept_per_controller_and_used(window, qtbot, simulator):
    view = open_address(window, qtbot, simulator.address)
    panel = view.panels[4]
    view.tabs.setCurrentIndex(4)
    panel.scale_edit.setText("0.001")
    panel.unit_edit.setText("um")
    panel.apply_unit_edits()
    panel.target.setText("250.5")
    panel.go_button.click()
    qtbot.waitUntil(lambda: panel.position.text() == "250.500 um", timeout=5000)
    window.close()
    window.shutdown()
    # A new window reads the unit from the controller's settings file.
    second = MainWindow(Library())
    second.show()
    try:
        view = open_address(second, qtbot, simulator.address)
        qtbot.waitUntil(lambda: view.panels[4].position.text() == "250.500 um", timeout=5000)
    finally:
        second.close()
        second.shutdown()


def test_moves_are_judged_by_the_package_rule(window, qtbot, private_network):
    sim = Simulator("127.0.0.8", 5000, "--travel-limit", "300000").start()
    try:
        view = open_address(window, qtbot, sim.address)
        panel = view.panels[0]
        said = window.statusBar().currentMessage
        panel.target.setText("200000")
        panel.go_button.click()
        qtbot.waitUntil(lambda: said() == "Moving to 200000 (axis 0): arrived.", timeout=5000)
        panel.target.setText("900000")
        panel.go_button.click()
        qtbot.waitUntil(lambda: said() == "Moving to 900000 (axis 0)...", timeout=2000)
        qtbot.waitUntil(lambda: "end of travel" in said(), timeout=5000)
        assert said().startswith("Moving to 900000 (axis 0) failed: axis 0 reached the end of "
                                 "travel (target 900000); it was stopped at 300000"), said()
        assert stands_still(qtbot, panel)
    finally:
        sim.stop()


def test_jog_moves_while_held_and_stops_on_release(window, qtbot, simulator):
    view = open_address(window, qtbot, simulator.address)
    view.tabs.setCurrentIndex(1)
    panel = view.panels[1]
    start = panel.state.position
    qtbot.mousePress(panel.jog_forward, Qt.LeftButton)
    qtbot.waitUntil(lambda: panel.lights["moving"].on and panel.state.position > start + 50_000,
                    timeout=5000)
    qtbot.mouseRelease(panel.jog_forward, Qt.LeftButton)
    assert stands_still(qtbot, panel)
    # A window that loses the focus while a jog button is held stops the jog.
    qtbot.mousePress(panel.jog_back, Qt.LeftButton)
    qtbot.waitUntil(lambda: panel.lights["moving"].on, timeout=5000)
    QApplication.sendEvent(window, QEvent(QEvent.ActivationChange))
    assert stands_still(qtbot, panel)
    qtbot.mouseRelease(panel.jog_back, Qt.LeftButton)


def test_stop_all_and_escape_stop_every_axis(window, qtbot, simulator):
    view = open_address(window, qtbot, simulator.address)
    for key_press in (False, True):
        for axis in (2, 3):
            view.panels[axis].target.setText(str(view.panels[axis].state.position + FAR))
            view.panels[axis].go_button.click()
        qtbot.waitUntil(lambda: all(view.panels[a].lights["moving"].on for a in (2, 3)),
                        timeout=5000)
        if key_press:
            # Xvfb has no window manager to activate the window.
            QApplication.setActiveWindow(window)
            qtbot.keyClick(view.panels[2].target, Qt.Key_Escape)
        else:
            window.stop_all_button.click()
        for axis in (2, 3):
            assert stands_still(qtbot, view.panels[axis])
            assert not view.panels[axis].lights["target reached"].on


def test_lost_controller_is_shown_and_reconnects(window, qtbot, lone_simulator):
    view = open_address(window, qtbot, lone_simulator.address)
    panel = view.panels[0]
    panel.target.setText(str(FAR))
    panel.go_button.click()
    qtbot.waitUntil(lambda: panel.lights["moving"].on, timeout=5000)
    lone_simulator.stop()
    # Shown as lost; then its worker thread ends.
    qtbot.waitUntil(lambda: view.condition == "LOST" and not view.is_open, timeout=10000)
    assert not panel.isEnabled() and view.reconnect_button.isEnabled()
    # The library's own report of the loss reached the log pane through logging.
    assert "recv() failed" in window.log_pane.toPlainText()
    lone_simulator.start()
    view.reconnect_button.click()
    wait_open(qtbot, view)
    assert panel.isEnabled()


def longest_gui_pause_during_a_silent_read(window, qtbot, view, axis, sim):
    """(seconds the Read of the axis's drive parameters took, ticks of a
    10 ms GUI-thread timer meanwhile, longest gap between them) while the
    controller answers nothing."""
    view.tabs.setCurrentIndex(axis)  # read once on showing
    panel = view.panels[axis]
    qtbot.waitUntil(lambda: panel.parameters["amplitude"].value() == 30000, timeout=5000)
    ticks = []
    timer = QTimer()
    timer.timeout.connect(lambda: ticks.append(time.monotonic()))
    timer.start(10)
    sim.freeze()
    window.statusBar().clearMessage()
    started = time.monotonic()
    assert panel.read_button.isEnabled()
    panel.read_button.click()
    try:
        qtbot.waitUntil(lambda: "did not answer" in window.statusBar().currentMessage(),
                        timeout=15000)
    finally:
        timer.stop()
        sim.thaw()
    gaps = [later - earlier for earlier, later in zip(ticks, ticks[1:])]
    return time.monotonic() - started, len(ticks), max(gaps, default=0)


def test_gui_thread_runs_while_a_getter_waits_for_a_silent_controller(window, qtbot,
                                                                       lone_simulator):
    view = open_address(window, qtbot, lone_simulator.address)
    waited, ticks, pause = longest_gui_pause_during_a_silent_read(window, qtbot, view, 0,
                                                                  lone_simulator)
    assert waited > 9.5  # the getter's 10 s wait went by ...
    # ... while the GUI thread kept running: a thread that waited on the
    # library would pause the whole 10 s; a loaded machine may hold the
    # process for a fraction of a second.
    assert ticks > 300 and pause < 1.0
    assert view.is_open


def test_closing_the_window_stops_the_axes_it_moved(window, qtbot, simulator,
                                                    gui_thread_guard):
    import dravex
    view = open_address(window, qtbot, simulator.address)
    panel = view.panels[5]
    panel.target.setText(str(panel.state.position + FAR))
    panel.go_button.click()
    qtbot.waitUntil(lambda: panel.lights["moving"].on, timeout=5000)
    window.close()
    window.shutdown()
    gui_thread_guard.on = False  # the test's own check
    with dravex.Controller(address=simulator.address) as controller:
        controller.wait_for_reports()
        axis = controller.axis(5)
        before = axis.position
        time.sleep(0.3)
        assert axis.position == before and not axis.status.moving


def test_configuration_check_lists_what_the_library_skips(tmp_path):
    from dravex_gui import config_file
    path = tmp_path / "axis.conf"
    path.write_text("frequ 1000\nbogus 5\nmaxampl\n  42 actoroffset -250\n"
                    "targetrange 1.5\nspeedgain 99999999999\nrotary")
    sent, skipped = config_file.check(str(path))
    assert sent == 3  # frequ, maxampl (value on the next line), actoroffset
    assert skipped == ["line 2: unknown keyword 'bogus'",
                       "line 5: '1.5' is not a 32-bit whole number",
                       "line 6: '99999999999' is not a 32-bit whole number",
                       "line 7: 'rotary' has no value"]


def test_loading_a_configuration_file_reports_skipped_pairs(window, qtbot, simulator, tmp_path):
    view = open_address(window, qtbot, simulator.address)
    path = tmp_path / "axis.conf"
    path.write_text("frequ 1200\nbogus 5\n")
    view.panels[0].load(str(path))
    qtbot.waitUntil(lambda: "1 parameter sent, 1 skipped" in window.statusBar().currentMessage(),
                    timeout=5000)
    assert "line 2: unknown keyword 'bogus' (skipped)" in window.log_pane.toPlainText()
    view.panels[0].read_parameters()
    qtbot.waitUntil(lambda: view.panels[0].parameters["frequency"].value() == 1200, timeout=5000)


def test_program_opens_its_address_and_closes_on_ctrl_c(private_network, tmp_path):
    sim = Simulator("127.0.0.6", 3000, logged=True).start()
    environment = dict(os.environ, XDG_CONFIG_HOME=str(tmp_path))  # PYTHONPATH: shared_fixtures
    program = subprocess.Popen([sys.executable, "-m", "dravex_gui", "--address", sim.address],
                               env=environment, stderr=subprocess.PIPE)
    try:
        assert sim.wait_for_log("connection from", timeout=20)
        time.sleep(1)
        program.send_signal(signal.SIGINT)
        assert program.wait(timeout=20) == 0, program.stderr.read().decode()
        assert sim.wait_for_log("closed", timeout=5)
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
        program.stderr.close()
        sim.stop()
