"""Init every 0.7 s while three clients read, one subscribes to events and
one moves: each client a process of its own (stress_client.py), against the
session's server. DRAVEX_TANGO_STRESS_S sets the seconds (default 8). Long
runs go against the real database (scripts/tango-demo --stress SECONDS):
without one, Debian's Tango stack ends event subscriptions after about
12 s. The server must stay alive, every move end at its target and fewer
than 0.1 % of the reads fail."""
import os

from tango import DevState

from conftest import wait_for_state
import stress_client

SECONDS = float(os.environ.get("DRAVEX_TANGO_STRESS_S", "8"))


def test_init_while_clients_read_subscribe_and_move(server):
    names = [server.get_device_access(f"test/stress/{n}") for n in (0, 1)]
    results = stress_client.run(SECONDS, names)
    device = server.get_device("test/stress/0")
    device.ping()                                     # the server is alive
    wait_for_state(device, DevState.ON, timeout=10)
    assert stress_client.problems(results, SECONDS) == []
