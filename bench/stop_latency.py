#!/usr/bin/env python3
"""Stop latency of every front end and report latency of the monitor,
against positioner-sim processes, inside the private network namespace
that scripts/bench runs it in.

Stop latency: from the call of a stop (or Ctrl-C) to the stop's SET (SET
1107) arriving at the simulator, while another thread, task or client waits
in a querying read of the same controller whose reply comes 2.5 s late
("late"), or never ("silent": the simulator's silent fault is switched on
by SIGUSR2 once the read is on its way). Front ends: the C API (two threads
on one handle), the Python package (two threads on one Controller),
dravex.aio, the command line (Ctrl-C during a slow show), and the desktop
program and the Tango server through their own scripts
(bench/stop_latency_gui.py, bench/stop_latency_tango.py) where present.

Report latency: from a periodic position report leaving the simulator to a
listener of the controller's monitor ("after"), and to a loop that polls
the cached position every 10 ms ("before": how the front ends followed the
reports until they had the monitor).

    stop_latency.py --build DIR [--count N] [--table FILE] [--smoke]

Prints one JSON object per line; --table writes the Markdown table.
"""
import argparse
import asyncio
import contextlib
import json
import os
import signal
import statistics
import subprocess
import sys
import threading
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "python"))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))

from sim_process import SimulatorProcess, request_time  # noqa: E402

ADDRESS = "127.0.0.2"
LATE_MS = 2500
STOP_LINE = "request SET 1107[{axis}] := 1"
READ_LINE = "request GET 1024[1]"
LIMIT_MS = 50.0


def figures(latencies_ms):
    ordered = sorted(latencies_ms)
    p99 = ordered[min(len(ordered) - 1, int(round(0.99 * (len(ordered) - 1))))]
    return {"median": round(statistics.median(ordered), 3), "p99": round(p99, 3),
            "max": round(ordered[-1], 3), "n": len(ordered)}


@contextlib.contextmanager
def simulator(*options):
    sim = SimulatorProcess("--address", ADDRESS, "--log-requests", *options, logged=True).start()
    try:
        yield sim
    finally:
        sim.stop()


def late_read_begun(sim, silent):
    """Waits for the front end's read to reach the simulator; in the silent
    mode the controller then stops answering, that reply included."""
    if sim.log_until(READ_LINE, 10) is None:
        raise RuntimeError("the read did not reach the simulator")
    if silent:
        sim.signal(signal.SIGUSR2)


def stop_arrived(sim, axis=0):
    lines = sim.log_until(STOP_LINE.format(axis=axis), 5)
    if lines is None:
        raise RuntimeError("the stop did not reach the simulator")
    return request_time(lines[-1])


# ---- the front ends; each returns the latencies in ms of count stops

def c_api(build, sim, silent, count):
    client = subprocess.Popen([os.path.join(build, "bench", "stop_latency_client"), ADDRESS],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        assert client.stdout.readline().strip() == "open"
        late_read_begun(sim, silent)
        latencies = []
        for _ in range(count):
            client.stdin.write("halt\n")
            client.stdin.flush()
            called = float(client.stdout.readline().split()[1])
            latencies.append((stop_arrived(sim) - called) * 1000)
        return latencies
    finally:
        client.stdin.close()
        client.wait(timeout=15)


def reading(controller):
    """Reads the amplitude of axis 1 over and over until the controller closes."""
    import dravex
    with contextlib.suppress(dravex.NotConnected):
        while True:
            controller.axis(1).amplitude


def python_threads(build, sim, silent, count):
    import dravex
    with dravex.Controller(address=ADDRESS) as controller:
        reader = threading.Thread(target=reading, args=(controller,), daemon=True)
        reader.start()
        late_read_begun(sim, silent)
        latencies = []
        for _ in range(count):
            called = time.monotonic()
            controller.axis(0).stop()
            latencies.append((stop_arrived(sim) - called) * 1000)
    reader.join(15)
    return latencies


def python_aio(build, sim, silent, count):
    import dravex
    from dravex import aio

    async def scenario():
        loop = asyncio.get_running_loop()
        async with aio.Controller(address=ADDRESS) as controller:
            async def read_forever():
                with contextlib.suppress(dravex.NotConnected):
                    while True:
                        await controller.axis(1).get("amplitude")
            reader = asyncio.create_task(read_forever())
            await loop.run_in_executor(None, late_read_begun, sim, silent)
            latencies = []
            for _ in range(count):
                called = time.monotonic()
                await controller.axis(0).stop()
                arrived = await loop.run_in_executor(None, stop_arrived, sim)
                latencies.append((arrived - called) * 1000)
        reader.cancel()
        return latencies
    return asyncio.run(scenario())


def command_line(build, sim, silent, count):
    latencies = []
    for _ in range(count):
        program = subprocess.Popen([os.path.join(build, "tools", "positioner"), "--address", ADDRESS,
                                    "--settle", "0", "show", "1"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            late_read_begun(sim, silent)
            called = time.monotonic()
            program.send_signal(signal.SIGINT)
            latencies.append((stop_arrived(sim, axis=1) - called) * 1000)
            program.wait(timeout=10)
        finally:
            program.kill()
            program.wait()
            if silent:
                sim.signal(signal.SIGUSR2)  # answering again, for the next connect
    return latencies


FRONT_ENDS = (("C: two threads on one handle", "c", c_api),
              ("Python: two threads on one Controller", "python", python_threads),
              ("dravex.aio", "aio", python_aio),
              ("Command line: Ctrl-C during a slow show", "cli", command_line))


def stop_latencies(build, count, modes):
    for title, name, measure in FRONT_ENDS:
        row = {"frontend": name, "title": title}
        for mode in modes:
            with simulator("--fault", f"late={LATE_MS}") as sim:
                row[f"{mode}_ms"] = figures(measure(build, sim, mode == "silent", count))
        yield row


# The desktop program's and the Tango server's own scripts: name, title,
# the command in front of the script, its arguments for a count of stops
# and the simulator (the Tango script makes five stops a round and takes
# the simulator from POSITIONER_SIM).
SCRIPTED = (("gui", "Desktop program: STOP ALL during a Read",
             ["xvfb-run", "-a", "-s", "-screen 0 1400x1000x24"],
             lambda count, sim: ["--presses", str(count), "--sim", sim]),
            ("tango", "Tango: Stop from one client while another reads Amplitude", [],
             lambda count, sim: ["--rounds", str(max(1, min(20, count // 5)))]))


def scripted_front_ends(build, count):
    environment = dict(os.environ, PYTHONPATH=os.path.join(ROOT, "python"))
    for name, title, runner, arguments in SCRIPTED:
        script = os.path.join(ROOT, "bench", f"stop_latency_{name}.py")
        if not os.path.exists(script):
            continue
        sim = os.path.join(build, "sim", "positioner-sim")
        done = subprocess.run([*runner, sys.executable, script, *arguments(count, sim)],
                              stdout=subprocess.PIPE, text=True, timeout=900, env=environment)
        lines = [line for line in done.stdout.splitlines() if line.startswith("{")]
        if done.returncode != 0 or not lines:
            yield {"frontend": name, "title": title, "error": f"exit {done.returncode}"}
            continue
        row = json.loads(lines[-1])
        row.setdefault("title", title)
        yield row


# ---- report latency

def report_latency(seconds):
    """Listener of the monitor (after) and a 10 ms poll of the cache
    (before), from the simulator's log of each position report sent."""
    import dravex
    from dravex import _positioner_api as api
    with simulator("--tell-interval", "10", "--log-reports", "--speed", "200000") as sim:
        with dravex.Controller(address=ADDRESS) as controller:
            heard, polled = [], []
            controller.monitor.subscribe(
                lambda axis, s: heard.append((time.monotonic(), s.position)) if axis == 0 else None)
            moving = threading.Event()
            moving.set()

            def poll():
                last = None
                while moving.is_set():
                    position = api.call("PositionerGetPosition", controller.handle, 0)
                    if position != last:
                        polled.append((time.monotonic(), position))
                        last = position
                    time.sleep(0.01)
            poller = threading.Thread(target=poll)
            poller.start()
            controller.axis(0).continuous()
            time.sleep(seconds)
            controller.axis(0).stop()
            moving.clear()
            poller.join()
            ended = time.monotonic()
        # The simulator goes on reporting: read its log up to the end.
        sent = {}
        while True:
            lines = sim.log_until("report TELL 1045[0]", 1.0)
            if lines is None or request_time(lines[-1]) > ended:
                break
            value, at = lines[-1].split(" := ", 1)[1].split(" at ")
            sent.setdefault(int(value), float(at))

    def latencies(seen):
        return [(t - sent[p]) * 1000 for t, p in seen if p in sent and t >= sent[p]]
    return {"frontend": "reports", "title": "Position report at the simulator to the front end",
            "after_ms": figures(latencies(heard)), "before_ms": figures(latencies(polled))}


# ---- output

def table(rows):
    out = ["| Stop latency (call to the stop's SET at the simulator) | reply 2.5 s late: median / max | "
           "reply never comes: median / max | Under 50 ms? |", "|---|---|---|---|"]
    report = None
    for row in rows:
        if row["frontend"] == "reports":
            report = row
            continue
        if "error" in row:
            out.append(f"| {row['title']} | {row['error']} | | no |")
            continue
        cells, ok = [], True
        for mode in ("late", "silent"):
            f = row.get(f"{mode}_ms")
            if f is None:
                cells.append("not measured")
                continue
            ok = ok and f["max"] < LIMIT_MS
            cells.append(f"{f['median']:.2f} / {f['max']:.2f} ms (n={f.get('n', row.get('presses', row.get('tries')))})")
        out.append(f"| {row['title']} | {cells[0]} | {cells[1]} | {'yes' if ok else 'no'} |")
    if report:
        out += ["", "| Report latency (position report at the simulator to the front end) | median | p99 |",
                "|---|---|---|"]
        for key, what in (("before_ms", "before: the cache polled every 10 ms"),
                          ("after_ms", "after: a listener of the controller's monitor")):
            f = report[key]
            out.append(f"| {what} | {f['median']:.2f} ms | {f['p99']:.2f} ms |")
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="build tree with libraries, simulator, program")
    parser.add_argument("--count", type=int, default=10, help="stops per front end and mode")
    parser.add_argument("--table", help="write the Markdown table here")
    parser.add_argument("--smoke", action="store_true", help="one stop each, late replies only")
    args = parser.parse_args()
    os.environ.setdefault("DRAVEX_LIBRARY", os.path.join(args.build, "src", "libdravex.so"))
    os.environ.setdefault("TORMAK_LIBRARY", os.path.join(args.build, "src", "libtormak.so"))
    os.environ.setdefault("POSITIONER_SIM", os.path.join(args.build, "sim", "positioner-sim"))
    count, modes = (1, ("late",)) if args.smoke else (args.count, ("late", "silent"))
    rows = list(stop_latencies(args.build, count, modes))
    if not args.smoke:
        rows += list(scripted_front_ends(args.build, count))
    rows.append(report_latency(0.5 if args.smoke else 3.0))
    for row in rows:
        print(json.dumps(row), flush=True)
    if args.table:
        with open(args.table, "w") as f:
            f.write(table(rows))
    failed = [row["frontend"] for row in rows if "error" in row]
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
