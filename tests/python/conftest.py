"""Fixtures of the Python binding tests: a positioner-sim process with two
controllers (127.0.0.2 and 127.0.0.3); the private-network check, the
library paths and start_simulator come from tests/support/shared_fixtures.py."""
import os
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
pytest_plugins = ("shared_fixtures",)
from sim_process import SimulatorProcess  # noqa: E402

SIM_IDS = (1000, 1001)          # hardware ids of the two simulated controllers
SIM_ADDRESSES = ("127.0.0.2", "127.0.0.3")
TELL_INTERVAL_MS = 20           # the simulator reports positions and status this often
SPEED = 1_000_000               # units per second
TRAVEL_LIMIT = 500_000          # axes stop at +-TRAVEL_LIMIT: half a second from 0


def wait_for_records(caplog, wanted, timeout=3.0):
    """The captured records of the dravex loggers once each predicate
    matched one of them (the lines arrive through a reader thread)."""
    deadline = time.monotonic() + timeout
    while True:
        records = [r for r in caplog.records if r.name.startswith("dravex")]
        if all(any(match(r) for r in records) for match in wanted):
            return records
        if time.monotonic() >= deadline:
            raise AssertionError(f"records missing: {[(r.name, r.levelname, r.message) for r in records]}")
        time.sleep(0.02)


@pytest.fixture(scope="session")
def simulator(private_network):
    sim = SimulatorProcess("--count", str(len(SIM_IDS)), "--id", str(SIM_IDS[0]),
                           "--tell-interval", str(TELL_INTERVAL_MS), "--speed", str(SPEED),
                           "--travel-limit", str(TRAVEL_LIMIT)).start()
    yield sim
    sim.stop()


@pytest.fixture(scope="session")
def controllers(simulator):
    """The scan, made once before any controller is opened."""
    import dravex
    return dravex.find_controllers()


@pytest.fixture
def device(controllers):
    """Device number of the first available controller."""
    available = [info.device for info in controllers if info.available]
    assert available, f"no available controller in {controllers}"
    return available[0]


@pytest.fixture
def controller(simulator):
    """The first simulated controller, opened by address."""
    import dravex
    with dravex.Controller(address=SIM_ADDRESSES[0]) as opened:
        yield opened
