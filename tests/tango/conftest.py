"""Fixtures of the Tango device tests: the private-network check, simulated
controllers, device servers without a database (MultiDeviceTestContext,
one process each) and a recorder of change events."""
import os
import sys
import threading
import time

import pytest

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "python"))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "support"))
pytest_plugins = ("shared_fixtures",)  # private_network: tests/support/shared_fixtures.py

import tango  # noqa: E402  (Debian's python3-tango)
from tango import DevState  # noqa: E402
from tango.test_context import MultiDeviceTestContext  # noqa: E402

from dravex_tango.controller_device import PositionerController  # noqa: E402
from dravex_tango.device import PositionerAxis  # noqa: E402
from dravex_tango import startup  # noqa: E402
from sim_process import SimulatorProcess  # noqa: E402

TELL_INTERVAL_MS = 10
SPEED = 1_000_000            # simulator default, units per second


class Simulator(SimulatorProcess):
    """positioner-sim with the given options and the suite's report interval."""

    def __init__(self, *options, logged=False):
        super().__init__("--tell-interval", str(TELL_INTERVAL_MS), *options, logged=logged)


# The devices of the one server process of the test session, with their
# controllers: 127.0.0.2 (hardware id 1000), 127.0.0.3 (1001), and 127.0.0.4
# (1002, travel +-300,000) that the loss tests stop and start; 127.0.0.5,
# whose replies come 2.5 s late, and 127.0.0.6, which the stop tests make
# silent (both log the requests they receive).
DEVICES = {
    "test/axis/a0": {"Address": "127.0.0.2", "Axis": 0},
    "test/axis/a1": {"Address": "127.0.0.2", "Axis": 1, "Scale": 0.001, "Unit": "um"},
    "test/axis/b0": {"HardwareId": 1001, "Axis": 0},
    "test/lossy/0": {"Address": "127.0.0.4", "Axis": 0},
    "test/bad/0": {"Address": "127.0.0.2", "HardwareId": 1000, "Axis": 0},   # stays FAULT
    "test/bad/1": {"ControllerDevice": "test/controller/none", "Axis": 0},   # likewise
    "test/limited/0": {"HardwareId": 1001, "Axis": 3, "SoftLimitLow": -100_000,
                       "SoftLimitHigh": 100_000},
    "test/stress/0": {"Address": "127.0.0.2", "Axis": 4},
    "test/stress/1": {"Address": "127.0.0.2", "Axis": 5},
    "test/late/0": {"Address": "127.0.0.5", "Axis": 0},
    "test/late/1": {"Address": "127.0.0.5", "Axis": 1},
    "test/silent/0": {"Address": "127.0.0.6", "Axis": 0},
    "test/silent/1": {"Address": "127.0.0.6", "Axis": 1},
    "test/axis/a2": {"ControllerDevice": "test/controller/a", "Axis": 2},
}
CONTROLLERS = {"test/controller/a": {"Address": "127.0.0.2"},
               "test/controller/silent": {"Address": "127.0.0.6"},
               "test/controller/lossy": {"Address": "127.0.0.4"}}


@pytest.fixture(scope="session")
def two_controllers(private_network):
    simulator = Simulator("--address", "127.0.0.2", "--id", "1000",
                          "--address", "127.0.0.3", "--id", "1001").start()
    yield simulator
    simulator.stop()


@pytest.fixture(scope="session")
def lossy_controller(private_network):
    simulator = Simulator("--address", "127.0.0.4", "--id", "1002",
                          "--travel-limit", "300000").start()
    yield simulator
    simulator.stop()


@pytest.fixture(scope="session")
def late_controller(private_network):
    simulator = Simulator("--address", "127.0.0.5", "--fault", "late=2500", "--log-requests",
                          logged=True).start()
    yield simulator
    simulator.stop()


@pytest.fixture(scope="session")
def silent_controller(private_network):
    simulator = Simulator("--address", "127.0.0.6", "--log-requests", logged=True).start()
    yield simulator
    simulator.stop()


class ServerContext(MultiDeviceTestContext):
    """The test context's server, started as positioner-tango starts it:
    deliveries begin once the server runs."""

    def post_init(self):
        startup.running()
        super().post_init()


@pytest.fixture(scope="session")
def server(two_controllers, lossy_controller, late_controller, silent_controller):
    """One PositionerDS process without a database (MultiDeviceTestContext)
    serving DEVICES, all ON but the misconfigured. One per session: the server process is forked,
    and a fork after the first client call inherits a running ORB."""
    info = [{"class": PositionerAxis,
             "devices": [{"name": name, "properties": properties}
                         for name, properties in DEVICES.items()]},
            {"class": PositionerController,
             "devices": [{"name": name, "properties": properties}
                         for name, properties in CONTROLLERS.items()]}]
    with ServerContext(info, host="127.0.0.1", process=True, timeout=20) as context:
        for name in DEVICES:
            if not name.startswith("test/bad/"):
                wait_for_state(context.get_device(name), DevState.ON, timeout=20)
        yield context


def wait_until(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"{what} not within {timeout} s")
        time.sleep(0.02)


def wait_for_state(proxy, state, timeout=10):
    wait_until(lambda: proxy.state() == state, timeout, f"{proxy.dev_name()} in {state}")


class EventRecorder:
    """Records the change events of attributes of one device, in order of
    arrival, as (attribute, value) pairs; errors as (attribute, None)."""

    def __init__(self, proxy, *attributes, kind=tango.EventType.CHANGE_EVENT):
        self.proxy = proxy
        self.events = []
        self.stamps = {}                    # (attribute, value) -> the server's time of the first
        self._lock = threading.Lock()
        self._ids = [proxy.subscribe_event(name, kind, self._push) for name in attributes]

    def _push(self, event):
        name = event.attr_name.split("#")[0].rsplit("/", 1)[-1]
        value = None if event.err else event.attr_value.value
        with self._lock:
            self.events.append((name.lower(), value))
            if not event.err:
                self.stamps.setdefault((name.lower(), value), event.attr_value.time.totime())

    def stamp(self, event):
        """The server's time stamp (time.time() scale) of the first event
        with this (attribute, value): when the server pushed it, whatever
        the delivery to this client took."""
        with self._lock:
            return self.stamps[event]

    def snapshot(self):
        with self._lock:
            return list(self.events)

    def clear(self):
        with self._lock:
            self.events.clear()
            self.stamps.clear()

    def wait_for(self, attribute, value, timeout=10):
        """Waits until an event of the attribute with the value arrived."""
        wait_until(lambda: (attribute.lower(), value) in self.snapshot(), timeout,
                   f"a {attribute} event {value}")

    def values(self, attribute):
        return [value for name, value in self.snapshot() if name == attribute.lower()]

    def close(self):
        for event_id in self._ids:
            self.proxy.unsubscribe_event(event_id)


@pytest.fixture
def record():
    """record(proxy, *attributes, kind=CHANGE_EVENT) -> EventRecorder;
    unsubscribed at the end."""
    recorders = []

    def make(proxy, *attributes, **kind):
        recorders.append(EventRecorder(proxy, *attributes, **kind))
        return recorders[-1]

    yield make
    for recorder in recorders:
        recorder.close()

