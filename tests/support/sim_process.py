"""A positioner-sim process for the Python test suites: started with its
options, ready once it has announced each of its controllers, stopped (and
killed if it hangs) on every path."""
import os
import select
from signal import SIGCONT, SIGSTOP, SIGTERM
import subprocess
import time

import pytest

START_LIMIT_S = 10


def request_time(line):
    """The CLOCK_MONOTONIC time (time.monotonic()) at the end of a
    --log-requests line: "...: request SET 1107[0] := 1 at 1234.567890"."""
    return float(line.rsplit(" at ", 1)[1])


def requests(lines):
    """The requests of --log-requests lines, e.g. "SET 1107[0] := 1"."""
    return [line.split(": request ", 1)[1].split(" at ")[0] for line in lines
            if ": request " in line]


class SimulatorProcess:
    """positioner-sim with the given options. With logged, its log lines
    (connections, requests) can be waited for; otherwise it runs --quiet."""

    def __init__(self, *options, logged=False):
        self.options, self.logged = options, logged
        self.process = None

    def start(self):
        program = os.environ.get("POSITIONER_SIM")
        if not program:
            pytest.fail("POSITIONER_SIM must name the positioner-sim program")
        self.process = subprocess.Popen(
            [program, *self.options] + ([] if self.logged else ["--quiet"]),
            stdout=subprocess.PIPE, stderr=subprocess.PIPE if self.logged else None, bufsize=0)
        deadline = time.monotonic() + START_LIMIT_S
        for _ in range(self.controller_count()):
            if not select.select([self.process.stdout], [], [], max(0, deadline - time.monotonic()))[0]:
                self.stop()
                raise RuntimeError("positioner-sim did not start")
            if not self.process.stdout.readline():
                code = self.process.wait()
                self.stop()
                raise RuntimeError(f"positioner-sim ended: exit code {code}")
        return self

    def controller_count(self):
        """How many controllers the options make: one per --address, or
        --count N of them, or the one at the default address."""
        if "--count" in self.options:
            return int(self.options[self.options.index("--count") + 1])
        return max(1, self.options.count("--address"))

    def wait_for_log(self, text, timeout):
        """True once a log line holding text arrived within timeout s."""
        return self.log_until(text, timeout) is not None

    def log_until(self, text, timeout):
        """The log lines read up to and including the first that holds
        text, once it arrived within timeout s; None otherwise."""
        deadline = time.monotonic() + timeout
        lines = []
        while select.select([self.process.stderr], [], [], max(0, deadline - time.monotonic()))[0]:
            line = self.process.stderr.readline()
            if not line:
                return None
            lines.append(line.decode(errors="replace").rstrip("\n"))
            if text in lines[-1]:
                return lines
        return None

    def signal(self, number):
        self.process.send_signal(number)

    def freeze(self):
        """The controller hangs: connected, but it answers nothing."""
        self.signal(SIGSTOP)

    def thaw(self):
        self.signal(SIGCONT)

    def stop(self, sig=SIGTERM):
        if self.process is None:
            return
        if self.process.poll() is None:
            self.thaw()
            self.process.send_signal(sig)
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        if self.process.stderr:
            self.process.stderr.close()
        self.process = None
