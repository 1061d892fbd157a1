"""Fixtures of the GUI tests (pytest-qt under Xvfb): simulated controllers
in the private network namespace, and the main window; the private-network
check and the library paths come from tests/support/shared_fixtures.py."""
import os
import sys
import threading

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
pytest_plugins = ("shared_fixtures",)
from sim_process import SimulatorProcess  # noqa: E402

TELL_INTERVAL_MS = 20


class Simulator(SimulatorProcess):
    """One positioner-sim process with one controller at an address, and
    more options of positioner-sim."""

    def __init__(self, address, hardware_id, *options, logged=False):
        super().__init__("--address", address, "--id", str(hardware_id),
                         "--tell-interval", str(TELL_INTERVAL_MS), *options, logged=logged)
        self.address, self.hardware_id = address, hardware_id


@pytest.fixture(scope="session")
def simulator(private_network):
    """The shared controller (127.0.0.2, id 1000)."""
    sim = Simulator("127.0.0.2", 1000).start()
    yield sim
    sim.stop()


@pytest.fixture
def lone_simulator(private_network):
    """A controller of one test's own (127.0.0.5, id 2000), to stop or freeze."""
    sim = Simulator("127.0.0.5", 2000).start()
    yield sim
    sim.stop()


@pytest.fixture(autouse=True)
def private_settings(tmp_path, monkeypatch):
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))


class GuiThreadGuard:
    """Records every library call made on the GUI (main) thread while on."""

    FUNNELS = ("call", "check_devices", "device_info")  # every call of the package passes one

    def __init__(self, monkeypatch):
        from dravex import _positioner_api
        self.on, self.calls = True, []
        for name in self.FUNNELS:
            monkeypatch.setattr(_positioner_api, name,
                                self._watch(name, getattr(_positioner_api, name)))

    def _watch(self, name, function):
        def watched(*args):
            if self.on and threading.current_thread() is threading.main_thread():
                self.calls.append((name,) + args[:1])
            return function(*args)
        return watched


@pytest.fixture
def gui_thread_guard(monkeypatch):
    """Fails the test when the GUI thread called into the library; a test
    that uses the library itself switches the guard off first."""
    guard = GuiThreadGuard(monkeypatch)
    yield guard
    assert not guard.calls, f"library calls on the GUI thread: {guard.calls}"


@pytest.fixture
def window(qtbot, gui_thread_guard):
    from dravex_gui.backend import Library
    from dravex_gui.main_window import MainWindow
    main = MainWindow(Library())
    main.resize(1280, 860)
    main.show()
    qtbot.waitExposed(main)
    yield main
    main.close()
    main.shutdown()


def open_address(window, qtbot, address):
    """Opens a controller through the address field; returns its view."""
    window.controller_list.address.setText(address)
    window.controller_list.open_address_button.click()
    view = window.views[-1]
    wait_open(qtbot, view)
    return view


def wait_open(qtbot, view):
    """Waits until the controller is open and every axis was reported."""
    qtbot.waitUntil(lambda: view.condition == "open"
                    and all(panel.state is not None for panel in view.panels), timeout=10000)


def stands_still(qtbot, panel, seconds=0.3):
    """True when the axis reports no movement and its position stays put."""
    qtbot.waitUntil(lambda: panel.state is not None and not panel.state.status.moving,
                    timeout=5000)
    before = panel.state.position
    qtbot.wait(int(seconds * 1000))
    return panel.state.position == before and not panel.state.status.moving
