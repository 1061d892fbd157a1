"""Init every 0.7 s while three clients read, one subscribes to events and
one moves: each client a process of its own (stress_client.py), against the
session's server. DRAVEX_TANGO_STRESS_S sets the seconds (default 8; 600
for the long run). The server must stay alive, every move end at its target
and fewer than 0.1 % of the reads fail."""
import json
import os
import subprocess
import sys

from tango import DevState

from conftest import wait_for_state

SECONDS = float(os.environ.get("DRAVEX_TANGO_STRESS_S", "8"))
CLIENT = os.path.join(os.path.dirname(__file__), "stress_client.py")
ROLES = ("read", "read", "read", "events", "move", "init")


def test_init_while_clients_read_subscribe_and_move(server):
    names = [server.get_device_access(f"test/stress/{n}") for n in (0, 1)]
    clients = []
    try:
        for role in ROLES:
            clients.append(subprocess.Popen([sys.executable, CLIENT, role, str(SECONDS), *names],
                                            stdout=subprocess.PIPE, text=True))
        for client in clients:
            assert client.stdout.readline().strip() == "ready"
        results = {}
        for role, client in zip(ROLES, clients):
            out, _ = client.communicate(timeout=SECONDS + 60)
            assert client.returncode == 0, f"the {role} client failed"
            counts = json.loads(out.strip().splitlines()[-1])
            results.setdefault(role, []).append(counts)
    finally:
        for client in clients:
            client.kill()
            client.wait()

    device = server.get_device("test/stress/0")
    device.ping()                                     # the server is alive
    wait_for_state(device, DevState.ON, timeout=10)
    reads = sum(c["done"] for c in results["read"])
    read_errors = sum(c["errors"] for c in results["read"])
    assert reads > 0 and read_errors < 0.001 * (reads + read_errors), results["read"]
    (moves,), (inits,), (events,) = results["move"], results["init"], results["events"]
    assert moves["done"] > 0 and moves["errors"] == 0, moves
    assert inits["done"] >= 2 * int(SECONDS / 1.0) and inits["errors"] == 0, inits
    assert events["done"] > 0, events
