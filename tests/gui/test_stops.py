"""The one stop of positioner-gui, checked on the wire (positioner-sim
--log-requests): STOP ALL and an axis's Stop go out while a Read waits for
a controller whose replies come 2.5 s late, or never; each axis's approach
is ended (SET 1037[a] := 0) before its stop (SET 1107[a] := 1); the window
keeps running meanwhile, and closing it does not wait for the Read."""
import signal
import threading
import time

import pytest
from PyQt5.QtCore import QTimer

from conftest import Simulator, open_address
from sim_process import request_time

ADDRESS = "127.0.0.7"
LATE_S = 2.5          # --fault late=2500
GETTER_WAIT_S = 10.0  # a querying getter's time-out: the silent controller's reply never comes
# A GUI thread that waited for the Read would be held for seconds; a loaded
# machine may hold it for a tenth of one.
HELD_AT_MOST_S = 0.5
CLOSED_WITHIN_S = 2.0  # the Read still waits for seconds more


@pytest.fixture(params=["late", "silent"])
def slow_simulator(request, private_network):
    options = ("--fault", "late=2500") if request.param == "late" else ()
    sim = Simulator(ADDRESS, 4000, "--log-requests", *options, logged=True).start()
    sim.reply_wait = LATE_S if request.param == "late" else GETTER_WAIT_S
    sim.fault = request.param
    try:
        yield sim
    finally:
        sim.stop()


def start_a_read(window, qtbot, sim):
    """Opens the controller with a Read of axis 0's drive parameters under
    way; returns the monotonic time its first GET reached the simulator."""
    view = open_address(window, qtbot, sim.address)
    panel = view.panels[0]
    if sim.fault == "silent":
        # Opening reads the shown axis; once that is in, the controller falls silent.
        qtbot.waitUntil(lambda: panel.parameters["amplitude"].value() > 0, timeout=5000)
        sim.signal(signal.SIGUSR2)
        assert sim.wait_for_log("fault silent on", 5)
        panel.read_button.click()
    # With late replies, the Read on opening is still waiting.
    lines = sim.log_until("request GET 1024[0]", 5)
    assert lines is not None, "the Read did not go out"
    return view, request_time(lines[-1])


def press(window, qtbot, button, sim, last_line):
    """Clicks the button and lets the window run until the simulator logged
    last_line; returns (the log lines, how long the click held the GUI
    thread, the longest pause of a 10 ms GUI-thread timer meanwhile)."""
    ticks, found = [], []
    timer = QTimer()
    timer.timeout.connect(lambda: ticks.append(time.monotonic()))
    reader = threading.Thread(target=lambda: found.append(sim.log_until(last_line, 5)))
    timer.start(10)
    reader.start()
    clicked = time.monotonic()
    button.click()
    held = time.monotonic() - clicked
    try:
        qtbot.waitUntil(lambda: not reader.is_alive(), timeout=6000)
    finally:
        timer.stop()
        reader.join()
    gaps = [later - earlier for earlier, later in zip(ticks, ticks[1:])]
    return found[0], held, max(gaps, default=0)


def stop_lines(lines, axis):
    """Positions of the axis's SET 1037 := 0 and SET 1107 := 1 in the lines."""
    requests = [line.split(" at ")[0] for line in lines]
    return [next((i for i, r in enumerate(requests) if r.endswith(text)), None)
            for text in (f"request SET 1037[{axis}] := 0", f"request SET 1107[{axis}] := 1")]


def test_stops_go_out_while_a_read_waits(window, qtbot, slow_simulator):
    sim = slow_simulator
    view, read_sent = start_a_read(window, qtbot, sim)

    lines, held, pause = press(window, qtbot, window.stop_all_button, sim,
                               "request SET 1107[5] := 1")
    assert lines is not None, "STOP ALL did not reach the controller"
    assert request_time(lines[-1]) - read_sent < sim.reply_wait, "it waited for the Read"
    for axis in range(6):
        approach_ended, stopped = stop_lines(lines, axis)
        assert approach_ended is not None and stopped is not None, (axis, lines)
        assert approach_ended < stopped, (axis, lines)
    assert held < HELD_AT_MOST_S and pause < HELD_AT_MOST_S, (held, pause)

    # An axis's Stop likewise, the Read still waiting.
    lines, held, pause = press(window, qtbot, view.panels[2].stop_button, sim,
                               "request SET 1107[2] := 1")
    assert lines is not None and request_time(lines[-1]) - read_sent < sim.reply_wait
    assert lines[-2].split(" at ")[0].endswith("request SET 1037[2] := 0"), lines[-2:]
    assert held < HELD_AT_MOST_S and pause < HELD_AT_MOST_S, (held, pause)
    assert view.is_open

    # Closing the window ends the Read as well: the program need not wait for it.
    closing = time.monotonic()
    window.close()
    window.shutdown()
    assert time.monotonic() - closing < CLOSED_WITHIN_S and view.wait(0)  # its threads ended
