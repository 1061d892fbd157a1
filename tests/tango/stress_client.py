"""One client of the stress test, as a process of its own:

    stress_client.py ROLE SECONDS DEVICE [DEVICE...]

ROLE read: reads Position, State, Status and Speed in a loop;
     events: subscribes to Position change events;
     move: moves the first device by +-50,000 and waits for each move to end
           at its target;
     init: calls Init on every device every 0.7 s.
Prints one JSON line of counts at the end: {"done", "errors", "last_error"}.
"""
import json
import sys
import time

import tango

INIT_PERIOD_S = 0.7
MOVE_LIMIT_S = 10.0
DISTANCE = 50_000


def read(devices, end, counts):
    names = ("Position", "State", "Status", "Speed")
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


def main():
    role, seconds, names = sys.argv[1], float(sys.argv[2]), sys.argv[3:]
    devices = [tango.DeviceProxy(name) for name in names]
    counts = {"done": 0, "errors": 0, "last_error": ""}
    print("ready", flush=True)
    ROLES[role](devices, time.monotonic() + seconds, counts)
    print(json.dumps(counts), flush=True)


if __name__ == "__main__":
    main()
