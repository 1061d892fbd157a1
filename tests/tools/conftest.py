"""Fixtures of the command-line tests: the positioner program and a
positioner-sim with two controllers (127.0.0.2 id 1000, 127.0.0.3 id 1001);
the private-network check and start_simulator come from
tests/support/shared_fixtures.py."""
import os
import subprocess
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
pytest_plugins = ("shared_fixtures",)
from sim_process import SimulatorProcess  # noqa: E402

SIM_IDS = (1000, 1001)


def run(*args, timeout=120, merged=False):
    """Runs the positioner program with stdout and stderr on pipes (merged:
    one pipe for both, read as stdout)."""
    started = time.monotonic()
    done = subprocess.run([os.environ["POSITIONER"], *map(str, args)], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT if merged else subprocess.PIPE, text=True,
                          timeout=timeout)
    done.seconds = time.monotonic() - started
    return done


@pytest.fixture(scope="session")
def simulator(private_network):
    sim = SimulatorProcess("--count", str(len(SIM_IDS)), "--id", str(SIM_IDS[0])).start()
    yield sim
    sim.stop()
