"""The pytest plugin of the Python suites (tests/python, tests/tools,
tests/gui, tests/tango), loaded by each suite's conftest.py:

- library paths: the package of this source tree (python/) is the one the
  tests import, and the one that the interpreters they start import;
- private_network: skips a test outside the private network namespace of
  netns-run.sh, and routes discovery's multicast to lo inside it;
- start_simulator: positioner-sim processes of one test's own, each
  stopped when the test ends."""
import os
import sys

import pytest

SUPPORT_DIR = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(SUPPORT_DIR))
PYTHON_DIR = os.path.join(SOURCE_DIR, "python")

for _path in (SUPPORT_DIR, PYTHON_DIR):
    if _path not in sys.path:
        sys.path.insert(0, _path)
os.environ["PYTHONPATH"] = os.pathsep.join(
    [PYTHON_DIR] + [p for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p])

from private_network import in_private_network_namespace, route_multicast_to_lo  # noqa: E402
from sim_process import SimulatorProcess  # noqa: E402


@pytest.fixture(scope="session")
def private_network():
    if not in_private_network_namespace():
        pytest.skip("needs a private network namespace (run through tests/support/netns-run.sh)")
    route_multicast_to_lo()


@pytest.fixture
def start_simulator(private_network):
    """start_simulator(*options, logged=False) -> a started SimulatorProcess
    (logged: its --log-requests lines can be read); each is stopped after
    the test."""
    started = []

    def start(*options, logged=False):
        started.append(SimulatorProcess(*options, logged=logged))
        return started[-1].start()
    yield start
    for sim in started:
        sim.stop()
