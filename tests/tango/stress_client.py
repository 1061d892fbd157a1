"""The stress run: Init every 0.7 s while three clients read, one
subscribes to events and one moves, each a process of its own.

    stress_client.py run SECONDS DEVICE DEVICE    the whole run; exit 1 on a problem
    stress_client.py ROLE SECONDS DEVICE [...]    one client

ROLE read: reads Position, State, Status, Speed and Amplitude (asked of the
           controller) in a loop;
     events: subscribes to Position change events;
     move: moves the first device by +-50,000 and waits for each move to end
           at its target;
     init: calls Init on every device every 0.7 s.
Prints one JSON line of counts at the end: {"done", "errors", "last_error"}.
"""
import json
import os
import subprocess
import sys
import time

import tango

INIT_PERIOD_S = 0.7
MOVE_LIMIT_S = 10.0
DISTANCE = 50_000


def read(devices, end, counts):
    names = ("Position", "State", "Status", "Speed", "Amplitude")
    while time.monotonic() < end:
        for device in devices:
            for name in names:
                try:
                    device.read_attribute(name)
                    counts["done"] += 1
                except tango.DevFailed as error:
                    counts["errors"] += 1
                    counts["last_error"] = error.args[0].desc


def events(devices, end, counts):
    def push(event):
        if event.err:
            counts["errors"] += 1
            counts["last_error"] = event.errors[0].desc
        else:
            counts["done"] += 1
    ids = [(device, device.subscribe_event("Position", tango.EventType.CHANGE_EVENT, push))
           for device in devices]
    time.sleep(max(0, end - time.monotonic()))
    for device, event_id in ids:
        device.unsubscribe_event(event_id)


def move(devices, end, counts):
    device, direction = devices[0], 1
    while time.monotonic() < end:
        try:
            target = device.Position + direction * DISTANCE
            device.MoveRelative(direction * DISTANCE)
        except tango.DevFailed as error:  # refused while Init runs: tried again
            counts["refused"] = counts.get("refused", 0) + 1
            counts["last_error"] = error.args[0].desc
            time.sleep(0.05)
            continue
        direction = -direction
        deadline = time.monotonic() + MOVE_LIMIT_S
        while time.monotonic() < deadline:
            try:
                if device.state() == tango.DevState.ON and device.Position == target:
                    counts["done"] += 1
                    break
            except tango.DevFailed:
                pass
            time.sleep(0.02)
        else:
            counts["errors"] += 1
            counts["last_error"] = f"a move to {target} did not end there within {MOVE_LIMIT_S} s"


def init(devices, end, counts):
    while time.monotonic() < end:
        for device in devices:
            try:
                device.Init()
                counts["done"] += 1
            except tango.DevFailed as error:
                counts["errors"] += 1
                counts["last_error"] = error.args[0].desc
        time.sleep(INIT_PERIOD_S)


ROLES = {"read": read, "events": events, "move": move, "init": init}
RUN = ("read", "read", "read", "events", "move", "init")
MOST_READ_ERRORS = 0.001


def run(seconds, names):
    """Runs the clients of RUN for seconds against the devices; returns
    {role: [counts of each client]}. Every client is ended on every path."""
    clients = []
    try:
        for role in RUN:
            clients.append(subprocess.Popen([sys.executable, os.path.abspath(__file__), role,
                                             str(seconds), *names],
                                            stdout=subprocess.PIPE, text=True))
        for client in clients:
            if client.stdout.readline().strip() != "ready":
                raise RuntimeError("a client did not start")
        results = {}
        for role, client in zip(RUN, clients):
            out, _ = client.communicate(timeout=seconds + 60)
            if client.returncode != 0:
                raise RuntimeError(f"the {role} client failed: exit status {client.returncode}")
            results.setdefault(role, []).append(json.loads(out.strip().splitlines()[-1]))
        return results
    finally:
        for client in clients:
            client.kill()
            client.wait()


def problems(results, seconds):
    """What went wrong in a run (empty when nothing did)."""
    found = []
    reads = sum(c["done"] for c in results["read"])
    read_errors = sum(c["errors"] for c in results["read"])
    if not reads or read_errors >= MOST_READ_ERRORS * (reads + read_errors):
        found.append(f"{read_errors} of {reads + read_errors} reads failed: {results['read']}")
    (moves,), (inits,), (events,) = results["move"], results["init"], results["events"]
    if not moves["done"] or moves["errors"]:
        found.append(f"moves: {moves}")
    if inits["done"] < 2 * int(seconds) or inits["errors"]:
        found.append(f"Init calls: {inits}")
    if not events["done"]:
        found.append(f"no events: {events}")
    return found


def main():
    role, seconds, names = sys.argv[1], float(sys.argv[2]), sys.argv[3:]
    if role == "run":
        results = run(seconds, names)
        print(json.dumps(results))
        found = problems(results, seconds)
        print("\n".join(found) or "stress run: no problem", file=sys.stderr)
        sys.exit(1 if found else 0)
    devices = [tango.DeviceProxy(name) for name in names]
    counts = {"done": 0, "errors": 0, "last_error": ""}
    print("ready", flush=True)
    ROLES[role](devices, time.monotonic() + seconds, counts)
    print(json.dumps(counts), flush=True)


if __name__ == "__main__":
    main()
