"""The change events a facility client receives, and what they are judged
against: the position reports a simulated controller logged (positioner-sim
--log-reports, stamped with CLOCK_MONOTONIC, the clock of time.monotonic()
here: both run on one machine)."""
import bisect
import re
import threading
import time

REPORT = re.compile(r"^(\S+): report TELL 1045\[(\d+)\] := (-?\d+) at (\d+\.\d+)$")


class Events:
    """A push callback for change events of many attributes: keeps
    (time, device, attribute, value, error) of every event, value None and
    error the reason where the event carries an error."""

    def __init__(self):
        self._lock = threading.Lock()
        self._seen = []

    def push(self, event):
        now = time.monotonic()
        parts = event.attr_name.split("#")[0].split("/")
        device, attribute = "/".join(parts[-4:-1]).lower(), parts[-1].lower()
        if event.err:
            value, error = None, event.errors[0].reason
        else:
            value, error = event.attr_value.value, None
        with self._lock:
            self._seen.append((now, device, attribute, value, error))

    def since(self, start, device=None, attribute="position", good=True):
        """The (time, value) of the events after start, of one device (or of
        devices starting with that name) and attribute; only good ones, or
        only errors (good=False, value the reason)."""
        with self._lock:
            seen = list(self._seen)
        return [(at, value if error is None else error) for at, name, attr, value, error in seen
                if at >= start and attr == attribute and (device is None or name.startswith(device))
                and (error is None) == good]


def reports(path, address, axis):
    """(time, position) of every position report of the axis in the
    simulator's log."""
    found = []
    with open(path) as log:
        for line in log:
            match = REPORT.match(line.strip())
            if match and match[1] == address and int(match[2]) == axis:
                found.append((float(match[4]), int(match[3])))
    return found


def changes(reported):
    """The reports whose position differs from the report before."""
    return [(at, value) for i, (at, value) in enumerate(reported)
            if i > 0 and value != reported[i - 1][1]]


def latencies_ms(reported, arrivals):
    """For every event, the time since the latest report of its value
    before it (a value can come again when an axis moves back)."""
    times_of = {}
    for at, value in reported:
        times_of.setdefault(value, []).append(at)
    found = []
    for at, value in arrivals:
        times = times_of.get(int(round(value)), [])
        i = bisect.bisect_right(times, at)
        if i:
            found.append((at - times[i - 1]) * 1000)
    return found


def lost(changed, arrivals, within_s=2.0):
    """The changed reports whose value never arrived as an event within
    within_s of the report."""
    times_of = {}
    for at, value in arrivals:
        times_of.setdefault(int(round(value)), []).append(at)
    missing = 0
    for at, value in changed:
        times = times_of.get(value, [])
        i = bisect.bisect_left(times, at)
        if i == len(times) or times[i] > at + within_s:
            missing += 1
    return missing


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def longest_gap(times, start, end):
    """The longest time between start, the given times and end."""
    points = [start] + [t for t in times if start < t < end] + [end]
    return max(b - a for a, b in zip(points, points[1:]))
