"""A Tango client in a process of its own: subscribes to the change events
of Position and State of one axis device, writes a target to Position,
prints every event as it arrives and the final position.

    watch_move.py DEVICE TARGET [--check]

With --check it exits 1 unless the events show the move: MOVING, rising
positions, the target as the last position, and ON after it.
"""
import argparse
import queue
import sys
import time

import tango
from tango import DevState

TIMEOUT_S = 30


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("device")
    parser.add_argument("target", type=float)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()

    proxy = tango.DeviceProxy(args.device)
    events = queue.Queue()
    started = time.monotonic()

    def arrived(event):
        name = event.attr_name.split("#")[0].rsplit("/", 1)[-1].lower()
        value = None if event.err else event.attr_value.value
        events.put((time.monotonic() - started, name, value))

    ids = [proxy.subscribe_event(name, tango.EventType.CHANGE_EVENT, arrived)
           for name in ("Position", "State")]
    try:
        seen = collect(proxy, args.target, events)
    except queue.Empty:
        print(f"no events within {TIMEOUT_S} s")
        return 1
    finally:
        for event_id in ids:
            proxy.unsubscribe_event(event_id)
    final = proxy.Position
    print(f"final position of {args.device}: {final:g} (state {proxy.state()})")
    if args.check:
        problem = judge(seen, args.target, final)
        print("check: " + (problem or "the move ended at its target, every event in order"))
        return 1 if problem else 0
    return 0


def collect(proxy, target, events):
    """Prints the events: first the current values that the subscription
    brings, then those of the move until the state is ON after MOVING.
    Returns the move's events as (seconds, name, value)."""
    first = {}
    while len(first) < 2:
        at, name, value = events.get(timeout=TIMEOUT_S)
        first[name] = value
        show(at, name, value, "subscribed")
    proxy.write_attribute("Position", target)
    print(f"wrote Position = {target:g}")
    seen, moving, deadline = [], False, time.monotonic() + TIMEOUT_S
    while time.monotonic() < deadline:
        try:
            at, name, value = events.get(timeout=deadline - time.monotonic())
        except queue.Empty:
            break
        show(at, name, value, "event")
        seen.append((at, name, value))
        moving = moving or value == DevState.MOVING
        if moving and name == "state" and value == DevState.ON:
            return seen
    print(f"no end of the move within {TIMEOUT_S} s")
    return seen


def show(at, name, value, kind):
    shown = f"{value:g}" if isinstance(value, float) else value
    print(f"  {at:7.3f} s  {kind:<10} {name:<8} {shown}", flush=True)


def judge(seen, target, final):
    states = [value for _, name, value in seen if name == "state"]
    positions = [value for _, name, value in seen if name == "position"]
    if DevState.MOVING not in states or states[-1] != DevState.ON:
        return f"states {states}: no MOVING followed by ON"
    if len(positions) < 3:
        return f"only {len(positions)} position events during the move"
    if positions != sorted(positions) and positions != sorted(positions, reverse=True):
        return f"positions out of order: {positions}"
    if positions[-1] != target or final != target:
        return f"last position event {positions[-1]}, final read {final}, target {target}"
    last_position = max(i for i, (_, name, _) in enumerate(seen) if name == "position")
    last_state = max(i for i, (_, name, _) in enumerate(seen) if name == "state")
    if last_position > last_state:
        return "the last position arrived after the state ON"
    return ""


if __name__ == "__main__":
    sys.exit(main())
