"""Stop latency of positioner-gui: STOP ALL pressed while a Read waits for
a controller whose replies come 2.5 s late (--fault late=2500), then for
one that answers nothing (positioner-sim's silent fault, switched on by
SIGUSR2 after opening: a silent controller refuses the connect itself).

Latency: from time.monotonic() just before the click to the time the
simulator logged the last telegram of the stop, SET 1107[5] := 1 (its
--log-requests time is CLOCK_MONOTONIC, the same clock). Every press falls
within the wait of the Read's first getter; the script checks that.
Prints one JSON line:

  {"frontend": "gui", "presses": N, "late_ms": {"median": .., "max": ..},
   "silent_ms": {...}}

Run inside a private network namespace on a virtual display:

  DRAVEX_LIBRARY=build/src/libdravex.so tests/support/netns-run.sh \\
      xvfb-run -a -s "-screen 0 1400x1000x24" /usr/bin/python3 \\
      bench/stop_latency_gui.py --sim build/sim/positioner-sim [--presses 20]
"""
import argparse
import json
import os
import signal
import statistics
import sys
import threading
import time

from PyQt5.QtCore import QEventLoop, QTimer
from PyQt5.QtWidgets import QApplication

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "python"))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from dravex_gui import backend  # noqa: E402
from dravex_gui.main_window import MainWindow  # noqa: E402
from private_network import in_private_network_namespace  # noqa: E402
from sim_process import SimulatorProcess, request_time  # noqa: E402

ADDRESSES = {"late": "127.0.0.7", "silent": "127.0.0.8"}
FIRST_REPLY_S = {"late": 2.5, "silent": 10.0}  # when the Read's first getter stops waiting
PRESS_GAP_S = 0.05
LAST_STOP = "request SET 1107[5] := 1"
WAIT_S = 10.0


def run_until(app: QApplication, done, seconds: float) -> None:
    """Runs the window's event loop, as the program does, until done()."""
    deadline = time.monotonic() + seconds
    loop, check = QEventLoop(), QTimer()
    check.timeout.connect(lambda: loop.quit() if done() or time.monotonic() > deadline else None)
    check.start(1)
    if not done():
        loop.exec_()
    check.stop()
    if not done():
        raise SystemExit("stop_latency_gui: timed out waiting for the window or the simulator")


def log_while_running(app: QApplication, sim: SimulatorProcess, text: str) -> list:
    """The simulator's log lines up to the one holding text; the window
    keeps running meanwhile."""
    found: list = []
    reader = threading.Thread(target=lambda: found.append(sim.log_until(text, WAIT_S)))
    reader.start()
    run_until(app, lambda: not reader.is_alive(), WAIT_S + 1)
    reader.join()
    if found[0] is None:
        raise SystemExit(f"stop_latency_gui: the simulator never logged {text!r}")
    return found[0]


def measure(app: QApplication, window: MainWindow, fault: str, presses: int) -> list:
    """Latencies in ms of the STOP ALL presses against one simulator."""
    options = ("--fault", "late=2500") if fault == "late" else ()
    sim = SimulatorProcess("--address", ADDRESSES[fault], "--log-requests", *options,
                           logged=True).start()
    try:
        view = window.open_controller(backend.Target(address=ADDRESSES[fault]))
        panel = view.panels[0]
        # Opening reads the shown axis; the measured Read comes after it.
        run_until(app, lambda: panel.parameters["amplitude"].value() > 0, 3 * WAIT_S)
        if fault == "silent":
            sim.signal(signal.SIGUSR2)
            log_while_running(app, sim, "fault silent on")
        clicked = time.monotonic()
        panel.read_button.click()
        read_sent = 0.0
        while read_sent < clicked:  # lines of the Read on opening may still be unread
            read_sent = request_time(log_while_running(app, sim, "request GET 1024[0]")[-1])
        latencies = []
        for _ in range(presses):
            pressed = time.monotonic()
            window.stop_all_button.click()
            arrived = request_time(log_while_running(app, sim, LAST_STOP)[-1])
            latencies.append((arrived - pressed) * 1000)
            if arrived >= read_sent + FIRST_REPLY_S[fault]:
                raise SystemExit("stop_latency_gui: a press came after the Read's first reply; "
                                 "fewer presses or a shorter gap")
            run_until(app, lambda: time.monotonic() >= arrived + PRESS_GAP_S, 1)
        view.close_controller()
        run_until(app, lambda: not view.is_open, WAIT_S)
        return latencies
    finally:
        sim.stop()


def figures(latencies: list) -> dict:
    return {"median": round(statistics.median(latencies), 3), "max": round(max(latencies), 3)}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sim", required=True, help="the positioner-sim program")
    parser.add_argument("--presses", type=int, default=20, choices=range(1, 31),
                        metavar="1..30", help="STOP ALL presses per simulator (20)")
    arguments = parser.parse_args()
    if not in_private_network_namespace():
        print("stop_latency_gui: refusing to run outside a private network namespace "
              "(tests/support/netns-run.sh)", file=sys.stderr)
        return 2
    os.environ["POSITIONER_SIM"] = os.path.abspath(arguments.sim)
    app = QApplication(sys.argv[:1])
    window = MainWindow(backend.Library())
    window.resize(1280, 860)
    window.show()
    try:
        result = {"frontend": "gui", "presses": arguments.presses}
        for fault in ("late", "silent"):
            result[f"{fault}_ms"] = figures(measure(app, window, fault, arguments.presses))
    finally:
        window.close()
        window.shutdown()
    print(json.dumps(result))
    return 0


if __name__ == "__main__":
    sys.exit(main())
