"""Fixtures of the command-line tests: the positioner program and a
positioner-sim with two controllers (127.0.0.2 id 1000, 127.0.0.3 id 1001)
in the private network namespace of tests/support/netns-run.sh."""
import os
import subprocess
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
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
def simulator():
    if os.environ.get("UC_IN_PRIVATE_NETNS") != "1":
        pytest.skip("needs a private network namespace (run through tests/support/netns-run.sh)")
    # The raw channel probes from the default interface: route multicast to lo.
    subprocess.run(["ip", "route", "replace", "224.0.0.0/4", "dev", "lo"], check=False)
    process = subprocess.Popen([os.environ["POSITIONER_SIM"], "--count", "2", "--id", "1000", "--quiet"],
                               stdout=subprocess.PIPE, text=True)
    try:
        for _ in SIM_IDS:
            assert process.stdout.readline().startswith("controller"), "positioner-sim did not start"
        yield
    finally:
        process.terminate()
        process.wait(timeout=10)


@pytest.fixture
def private_sim_process(simulator):
    """Starts positioner-sim processes of a test's own (logged, so that
    their --log-requests lines can be read); each is stopped after the test."""
    started = []

    def start(*options):
        started.append(SimulatorProcess(*options, logged=True).start())
        return started[-1]
    yield start
    for sim in started:
        sim.stop()
