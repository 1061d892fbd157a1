"""Stop latency of the Tango device server: from a client's Stop call to
the stop's SET 1107 arriving at the simulator, while another client's read
of Amplitude waits for its reply, on a controller whose replies come 2.5 s
late and on one that answers nothing (positioner-sim's silent fault, turned
on by SIGUSR2 once the server has opened it).

    bench/stop_latency_tango.py [--rounds N]     (inside a private namespace)

Each round reads Amplitude of axes 1..5 in turn (a querying getter of one
register waits behind the one before it) and stops axis 0 during each read;
the next round starts once those reads have ended. Prints one JSON line:
{"frontend": "tango", "late_ms": {"median", "max"}, "silent_ms": {...},
"tries": N}. The client takes time.monotonic() before the
call; the simulator logs each telegram with CLOCK_MONOTONIC (--log-requests),
the same clock. Environment: POSITIONER_SIM, DRAVEX_LIBRARY; PYTHONPATH with
python/.
"""
import argparse
import contextlib
import json
import os
import select
import signal
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tango_figures import running, server  # noqa: E402

READER = """
import sys, tango
proxy = tango.DeviceProxy(sys.argv[1])
proxy.set_timeout_millis(15000)
try:
    proxy.read_attribute("Amplitude")
except tango.DevFailed:
    pass
"""
LOG_WAIT_S = 10.0
READ_AXES = range(1, 6)
READ_WAIT_S = {False: 2.5, True: 10.0}   # a late reply; a querying getter's time-out


class RequestLog:
    """The request lines of a positioner-sim run with --log-requests."""

    def __init__(self, stream):
        self._stream = stream

    def wait_for(self, text):
        """The CLOCK_MONOTONIC time of the first line holding text."""
        deadline = time.monotonic() + LOG_WAIT_S
        while select.select([self._stream], [], [], max(0, deadline - time.monotonic()))[0]:
            line = self._stream.readline().decode(errors="replace")
            if not line:
                break
            if text in line:
                return float(line.rsplit(" at ", 1)[1])
        raise RuntimeError(f"no '{text}' from the simulator within {LOG_WAIT_S:g} s")


@contextlib.contextmanager
def simulator(*faults):
    command = [os.environ["POSITIONER_SIM"], "--tell-interval", "10", "--log-requests"]
    for fault in faults:
        command += ["--fault", fault]
    # Unbuffered: select() sees every line not yet read.
    with running(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, bufsize=0) as process:
        if not process.stdout.readline():
            raise RuntimeError("positioner-sim did not start")
        yield process, RequestLog(process.stderr)


def access(proxy):
    return f"tango://127.0.0.1:{proxy.get_dev_port()}/{proxy.dev_name()}#dbase=no"


def one_stop(proxies, log, read_axis):
    """Seconds from Stop of axis 0 to its SET 1107, while a client process
    reads Amplitude of read_axis; the read must still be waiting."""
    with running([sys.executable, "-c", READER, access(proxies[read_axis])]) as reader:
        log.wait_for(f"request GET 1024[{read_axis}]")
        called = time.monotonic()
        proxies[0].Stop()
        arrived = log.wait_for("request SET 1107[0] := 1")
        if reader.poll() is not None:
            raise RuntimeError("the read ended before the stop arrived")
    return arrived - called


def latencies(rounds, silent):
    faults = () if silent else ("late=2500",)
    seconds = []
    with simulator(*faults) as (process, log), server(6) as (_, proxies):
        if silent:
            process.send_signal(signal.SIGUSR2)
        for round_number in range(rounds):
            if round_number:
                time.sleep(READ_WAIT_S[silent] + 0.5)   # the reads of the round before end
            seconds += [one_stop(proxies, log, axis) for axis in READ_AXES]
    return seconds


def summary(seconds):
    return {"median": round(statistics.median(seconds) * 1000, 2),
            "max": round(max(seconds) * 1000, 2)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=4, choices=range(1, 21), metavar="N",
                        help=f"rounds of {len(READ_AXES)} stops (1..20, default 4)")
    args = parser.parse_args()
    late, silent = latencies(args.rounds, False), latencies(args.rounds, True)
    print(json.dumps({"frontend": "tango", "late_ms": summary(late),
                      "silent_ms": summary(silent), "tries": len(late)}))


if __name__ == "__main__":
    main()
