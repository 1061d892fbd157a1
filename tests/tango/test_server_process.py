"""positioner-tango as a process of its own (a file database), not the
session's server: SIGTERM ends it cleanly (the axis it set moving halted,
exit status 0), and Python logging reaches Tango's logging targets."""
import contextlib
import os
import signal
import socket
import subprocess
import sys
import time

import dravex
import tango

from conftest import SOURCE_DIR, Simulator, wait_until

ADDRESS = "127.0.0.7"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@contextlib.contextmanager
def server_process(private_network, tmp_path):
    """(server process, its axis device on ADDRESS axis 0, the simulator);
    all stopped on every path."""
    database = tmp_path / "devices.db"
    database.write_text("PositionerDS/term/DEVICE/PositionerAxis: term/axis/0\n"
                        'PositionerDS/term/DEVICE/PositionerController: ""\n'  # none, listed
                        f"term/axis/0->Address: {ADDRESS}\nterm/axis/0->Axis: 0\n")
    port = free_port()
    simulator = Simulator("--address", ADDRESS).start()
    server = None
    try:
        server = subprocess.Popen(
            [sys.executable, "-m", "dravex_tango", "term", "-ORBendPoint",
             f"giop:tcp:127.0.0.1:{port}", f"-file={database}"],
            env=dict(os.environ, PYTHONPATH=os.path.join(SOURCE_DIR, "python")),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        axis = tango.DeviceProxy(f"tango://127.0.0.1:{port}/term/axis/0#dbase=no")
        wait_until(lambda: _state(axis) == tango.DevState.ON, 20, "the server's axis ON")
        yield server, axis, simulator
    finally:
        if server is not None:
            server.kill()
            server.wait()
        simulator.stop()


def test_sigterm_halts_the_moves_closes_and_exits_0(private_network, tmp_path):
    with server_process(private_network, tmp_path) as (server, axis, _):
        axis.MoveContinuous(1)
        wait_until(lambda: axis.Position > 10_000, 2, "the continuous move")
        server.send_signal(signal.SIGTERM)
        assert server.wait(timeout=10) == 0
        with dravex.Controller(address=ADDRESS) as controller:   # the server's is closed
            controller.wait_for_reports()
            stopped = controller.axis(0).position
            time.sleep(0.2)
            assert controller.axis(0).position == stopped and not controller.axis(0).status.moving


def test_python_logging_reaches_a_tango_file_target(private_network, tmp_path):
    log_file = tmp_path / "server.log"
    with server_process(private_network, tmp_path) as (_, axis, simulator):
        admin = tango.DeviceProxy(axis.adm_name())
        admin.AddLoggingTarget([admin.dev_name(), f"file::{log_file}"])
        admin.SetLoggingLevel(([4], [admin.dev_name()]))          # 4: INFO
        simulator.signal(signal.SIGUSR1)      # the link logs the lost connection (WARNING)
        wait_until(lambda: log_file.exists() and "was lost" in log_file.read_text(), 10,
                   "the link's warning in the file target")


def _state(proxy):
    try:
        return proxy.state()
    except tango.DevFailed:
        return None
