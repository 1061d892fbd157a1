"""Figures of the Tango device server PositionerDS, measured against
positioner-sim (reports every 10 ms) inside a private network namespace:

1. an attribute read through DeviceProxy: Position against the plain
   State attribute of the same device (ratio);
2. the time from the simulator's position report to the client's change
   event (median, 99th percentile): a separate observer process reads the
   controller's TELLs on a connection of its own and timestamps them with
   the same monotonic clock as the client;
3. how many axes one server process serves before events fall behind:
   all axes move, the client counts the Position events of every axis
   and the latency of one;
4. the CPU an idle server uses (IDLE_AXES axes of 3 controllers, none
   moving, the simulator reporting every 10 ms).

    bench/tango_figures.py --out FILE.md      (inside a private namespace)
    bench/tango_figures.py --compare          (figures 2 and 4 as one JSON line,
                                               for runs of two versions of the server)

Environment: POSITIONER_SIM, DRAVEX_LIBRARY; PYTHONPATH with python/.
"""
import argparse
import contextlib
import ctypes
import datetime
import json
import os
import platform
import signal
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import time

import tango

REPORT_INTERVAL_MS = 10
AXES_PER_CONTROLLER = 6
READS = 3000
MOVE_SECONDS = 5.0
SCALING_AXES = (6, 12, 24, 48, 72, 96)
# Events fall behind when fewer than this share of the reports arrive, or
# the latency's 99th percentile exceeds this many report intervals.
DELIVERED_AT_LEAST = 0.99
LATENCY_P99_AT_MOST_MS = 2 * REPORT_INTERVAL_MS
IDLE_AXES = 18
IDLE_SECONDS = 10.0
TELL, POSITION_REGISTER = 4, 1045


# -- processes -------------------------------------------------------------------

def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _end_with_parent():
    """In the child before exec: SIGTERM when the process that started it
    ends, also by a crash (Debian's Tango client may crash when it
    unsubscribes), so that no server or simulator is left running."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


@contextlib.contextmanager
def running(command, **options):
    process = subprocess.Popen(command, preexec_fn=_end_with_parent, **options)
    try:
        yield process
    finally:
        process.terminate()
        try:
            process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


@contextlib.contextmanager
def simulators(count):
    """count controllers on 127.0.0.2, 127.0.0.3, ..."""
    command = [os.environ["POSITIONER_SIM"], "--count", str(count), "--tell-interval",
               str(REPORT_INTERVAL_MS), "--quiet"]
    with running(command, stdout=subprocess.PIPE) as process:
        for _ in range(count):
            if not process.stdout.readline():
                raise RuntimeError("positioner-sim did not start")
        yield


@contextlib.contextmanager
def server(axes):
    """A PositionerDS process without a database serving `axes` devices
    (bench/axis/N: controller 127.0.0.(2 + N // 6), axis N % 6); yields
    their DeviceProxy objects, all ON."""
    port = free_port()
    names = [f"bench/axis/{n}" for n in range(axes)]
    with tempfile.TemporaryDirectory() as work:
        database_file = os.path.join(work, "devices.db")
        with open(database_file, "w") as db:
            db.write(f"PositionerDS/bench/DEVICE/PositionerAxis: {', '.join(names)}\n")
            # A file database must list every class of the server, with no device too.
            db.write('PositionerDS/bench/DEVICE/PositionerController: ""\n')
            for n, name in enumerate(names):
                db.write(f"{name}->Address: 127.0.0.{2 + n // AXES_PER_CONTROLLER}\n")
                db.write(f"{name}->Axis: {n % AXES_PER_CONTROLLER}\n")
        command = [sys.executable, "-m", "dravex_tango", "bench", "-ORBendPoint",
                   f"giop:tcp:127.0.0.1:{port}", f"-file={database_file}"]
        with running(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) as process:
            proxies = [tango.DeviceProxy(f"tango://127.0.0.1:{port}/{name}#dbase=no")
                       for name in names]
            deadline = time.monotonic() + 60
            for proxy in proxies:
                while not _is_on(proxy):
                    if time.monotonic() > deadline or process.poll() is not None:
                        raise RuntimeError(f"{proxy.dev_name()} did not come up")
                    time.sleep(0.1)
            yield process, proxies


def _is_on(proxy):
    try:
        return proxy.state() == tango.DevState.ON
    except tango.DevFailed:
        return False


def context_switches(pid):
    """Context switches of every thread of the process so far."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/status") as status:
                total += sum(int(line.split()[1]) for line in status
                             if line.split(":")[0].endswith("ctxt_switches"))
        except (OSError, IndexError, ValueError):
            pass                           # a thread that ended meanwhile
    return total


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


# -- the observer of the controller's reports --------------------------------------

def observe(address, axis, seconds):
    """Prints 'monotonic-time position' for every TELL 1045 of the axis that
    the controller at address sends within seconds (run as its own process)."""
    with socket.create_connection((address, 2101), timeout=1) as connection:
        connection.settimeout(0.2)
        buffer, end = b"", time.monotonic() + seconds
        print("ready", flush=True)
        while time.monotonic() < end:
            try:
                chunk = connection.recv(65536)
            except socket.timeout:
                continue
            now = time.monotonic()
            if not chunk:
                break
            buffer += chunk
            while len(buffer) >= 4:
                size = struct.unpack_from("<i", buffer)[0] + 4
                if len(buffer) < size:
                    break
                telegram, buffer = buffer[:size], buffer[size:]
                opcode, register, index = struct.unpack_from("<3i", telegram, 4)
                if opcode == TELL and register == POSITION_REGISTER and index == axis:
                    print(f"{now:.6f} {struct.unpack_from('<i', telegram, 20)[0]}")


@contextlib.contextmanager
def observer(seconds, address="127.0.0.2", axis=0):
    """Yields a list that holds (time, position) of every report once the
    block has ended."""
    command = [sys.executable, __file__, "--observe", address, str(axis), str(seconds)]
    reports = []
    with running(command, stdout=subprocess.PIPE, text=True) as process:
        if process.stdout.readline().strip() != "ready":
            raise RuntimeError("the observer did not start")
        yield reports
        for line in process.stdout:
            at, position = line.split()
            reports.append((float(at), int(position)))


class EventCounter:
    """Counts the Position events of one device; keeps (time, value) of
    those of the device it times."""

    def __init__(self, timed):
        self.count = 0
        self.timed = timed
        self.arrivals = []

    def push(self, event):
        if event.err:
            return
        self.count += 1
        if self.timed:
            self.arrivals.append((time.monotonic(), event.attr_value.value))


def latencies_ms(reports, arrivals):
    """For every event, the time since the first report of its value."""
    reported = {}
    for at, position in reports:
        reported.setdefault(position, at)
    return [(at - reported[value]) * 1000 for at, value in arrivals if value in reported]


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


# -- the figures --------------------------------------------------------------------

def read_ratio(proxy):
    """Median time of one read of Position and of State (µs), in
    interleaved blocks so that load from elsewhere falls on both alike."""
    times = {"Position": [], "State": []}
    for _ in range(READS // 100):
        for name, samples in times.items():
            for _ in range(100):
                started = time.perf_counter()
                proxy.read_attribute(name)
                samples.append((time.perf_counter() - started) * 1e6)
    return {name: statistics.median(samples) for name, samples in times.items()}


def moving_axes(proxies, timed_index=0):
    """Moves every axis (alternate directions) with Position events
    subscribed; returns the counters, the events of each axis within
    MOVE_SECONDS of steady motion, the reports of the timed axis and the
    exact seconds counted."""
    counters = [EventCounter(n == timed_index) for n in range(len(proxies))]
    ids = [(proxy, proxy.subscribe_event("Position", tango.EventType.CHANGE_EVENT, counter.push))
           for proxy, counter in zip(proxies, counters)]
    try:
        for counter in counters:               # not the events of the subscription
            counter.count, counter.arrivals = 0, []
        with observer(MOVE_SECONDS + 1.5) as reports:
            for n, proxy in enumerate(proxies):
                proxy.MoveContinuous(n % 2)
            time.sleep(0.5)                    # every axis moves
            started, counted = time.monotonic(), [counter.count for counter in counters]
            time.sleep(MOVE_SECONDS)
            counted = [counter.count - before for counter, before in zip(counters, counted)]
            elapsed = time.monotonic() - started
            for proxy in proxies:
                proxy.Stop()
            time.sleep(0.3)
    finally:
        for proxy, event_id in ids:
            proxy.unsubscribe_event(event_id)
    return counters, counted, reports, elapsed


def scaling_row(axes):
    with simulators(axes // AXES_PER_CONTROLLER), server(axes) as (process, proxies):
        cpu_before, started = cpu_seconds(process.pid), time.monotonic()
        client_before = cpu_seconds(os.getpid())
        switches_before = context_switches(process.pid)
        counters, counted, reports, elapsed = moving_axes(proxies)
        spent = time.monotonic() - started
        cpu = (cpu_seconds(process.pid) - cpu_before) / spent
        switches = context_switches(process.pid) - switches_before
        client = (cpu_seconds(os.getpid()) - client_before) / spent
    expected = axes * elapsed * 1000 / REPORT_INTERVAL_MS
    delivered = sum(counted) / expected
    latency = latencies_ms(reports, counters[0].arrivals)
    # Per event delivered, over the whole time the axes moved (not only
    # the seconds counted): what a report costs the server.
    events = sum(counter.count for counter in counters)
    return {"axes": axes, "delivered": delivered, "median": statistics.median(latency),
            "p99": percentile(latency, 0.99), "cpu": cpu, "client": client,
            "cpu_per_event_us": cpu * spent * 1e6 / max(events, 1),
            "switches_per_event": switches / max(events, 1), "load": os.getloadavg()[0]}


def idle_cpu():
    """Share of one core the server uses while IDLE_AXES axes stand."""
    with simulators(IDLE_AXES // AXES_PER_CONTROLLER), server(IDLE_AXES) as (process, _):
        time.sleep(1.0)                        # past the start
        before, started = cpu_seconds(process.pid), time.monotonic()
        time.sleep(IDLE_SECONDS)
        return (cpu_seconds(process.pid) - before) / (time.monotonic() - started)


def event_latency():
    """Median and 99th percentile (ms) of the report-to-event latency of one
    moving axis."""
    with simulators(1), server(1) as (_, (proxy,)):
        counters, _, reports, _ = moving_axes([proxy])
    latency = latencies_ms(reports, counters[0].arrivals)
    return {"median": round(statistics.median(latency), 2),
            "p99": round(percentile(latency, 0.99), 2), "events": len(latency)}


def keeps_up(row):
    return row["delivered"] >= DELIVERED_AT_LEAST and row["p99"] <= LATENCY_P99_AT_MOST_MS


def machine():
    with open("/proc/cpuinfo") as cpuinfo:
        model = next((line.split(":", 1)[1].strip() for line in cpuinfo
                      if line.startswith("model name")), platform.processor())
    return [f"CPU: {model}, {os.cpu_count()} cores (shared with other work)",
            f"Kernel: {platform.system()} {platform.release()}",
            f"Python {platform.python_version()}, PyTango {tango.__version__}",
            "Date: " + datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
            "Load average when the figures started: " +
            ", ".join(f"{load:.2f}" for load in os.getloadavg())]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out")
    parser.add_argument("--readme", help="README whose figures block is replaced")
    parser.add_argument("--compare", action="store_true",
                        help="print the event latency and the idle CPU as one JSON line")
    args = parser.parse_args()
    if args.compare:
        print(json.dumps({"event_latency_ms": event_latency(),
                          f"idle_cpu_{IDLE_AXES}_axes": round(idle_cpu(), 4)}))
        return
    if not args.out:
        parser.error("--out or --compare")
    header = machine()

    with simulators(1), server(1) as (_, (proxy,)):
        reads = read_ratio(proxy)
        counters, _, reports, _ = moving_axes([proxy])
        latency = latencies_ms(reports, counters[0].arrivals)
    rows = []
    for axes in SCALING_AXES:
        rows.append(scaling_row(axes))
        print(rows[-1], flush=True)
    served = max((row["axes"] for row in rows if keeps_up(row)), default=0)
    idle = idle_cpu()

    lines = [
        "# Tango device server figures", "",
        "Written by `scripts/bench-tango` (`bench/tango_figures.py`): one PositionerDS process "
        "without a database, positioner-sim reporting every "
        f"{REPORT_INTERVAL_MS} ms, the client in a process of its own, all in a private "
        "network namespace.", "",
        "| Figure | Value |", "|---|---|",
        f"| Read of `Position` through `DeviceProxy` (median of {READS}) | "
        f"{reads['Position']:.0f} µs |",
        f"| Read of `State` of the same device, a plain attribute returning a stored value "
        f"(median of {READS}) | "
        f"{reads['State']:.0f} µs |",
        f"| Ratio Position / State | {reads['Position'] / reads['State']:.2f} |",
        f"| Simulator's position report to the client's change event, median "
        f"({len(latency)} events of one moving axis) | {statistics.median(latency):.2f} ms |",
        f"| … 99th percentile | {percentile(latency, 0.99):.2f} ms |",
        f"| Axes one server process serves before events fall behind | {served} "
        f"(of {', '.join(map(str, SCALING_AXES))} tried) |",
        f"| CPU of an idle server, {IDLE_AXES} axes of {IDLE_AXES // AXES_PER_CONTROLLER} "
        f"controllers (share of one core over {IDLE_SECONDS:g} s) | {idle:.1%} |", "",
        f"Axes served: every axis moving for {MOVE_SECONDS:g} s; events fall behind when fewer "
        f"than {DELIVERED_AT_LEAST:.0%} of the reports arrive as change events, or the 99th "
        f"percentile of the latency (axis 0 of 127.0.0.2) exceeds {LATENCY_P99_AT_MOST_MS} ms. "
        "CPU: share of one core, of the server process and of the client process (which "
        "handles every event in Python) while the axes move; per event: the server's CPU "
        "time and context switches (all its threads) per event delivered; load: the "
        "machine's load average at the row's end.",
        "", "| Axes (controllers) | Reports delivered as events | Latency median | "
        "Latency p99 | Server CPU | Client CPU | Server CPU per event | Context switches "
        "per event | Load | Keeps up? |",
        "|---|---|---|---|---|---|---|---|---|---|"]
    for row in rows:
        lines.append(f"| {row['axes']} ({row['axes'] // AXES_PER_CONTROLLER}) | "
                     f"{row['delivered']:.1%} | {row['median']:.2f} ms | {row['p99']:.2f} ms | "
                     f"{row['cpu']:.0%} | {row['client']:.0%} | "
                     f"{row['cpu_per_event_us']:.0f} µs | {row['switches_per_event']:.1f} | "
                     f"{row['load']:.1f} | {'yes' if keeps_up(row) else 'no'} |")
    lines += ["", "Machine:", ""] + [f"- {line}" for line in header] + [""]
    with open(args.out, "w") as out:
        out.write("\n".join(lines))
    print("\n".join(lines))
    if args.readme:
        replace_block(args.readme, summary_of(lines) + ["", "Measured on:", ""] +
                      [f"- {line}" for line in header])


def summary_of(lines):
    """The table of the figures (the first table of the results)."""
    start = lines.index("| Figure | Value |")
    end = lines.index("", start)
    return lines[start:end]


def replace_block(path, block):
    with open(path) as readme:
        text = readme.read()
    begin, end = "<!-- tango-figures -->\n", "<!-- /tango-figures -->"
    if begin not in text or end not in text:
        raise SystemExit(f"{path} has no {begin.strip()} block")
    head, rest = text.split(begin, 1)
    tail = rest.split(end, 1)[1]
    with open(path, "w") as readme:
        readme.write(head + begin + "\n".join(block) + "\n" + end + tail)


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "--observe":
        observe(sys.argv[2], int(sys.argv[3]), float(sys.argv[4]))
    else:
        main()
