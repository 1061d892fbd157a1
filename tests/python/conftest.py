"""Fixtures of the Python binding tests: the private-network check and a
positioner-sim process with two controllers (127.0.0.2 and 127.0.0.3)."""
import fcntl
import os
import select
import shutil
import socket
import struct
import subprocess
import sys
import time

import pytest

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "python"))

SIOCGIFFLAGS = 0x8913
IFF_LOOPBACK = 0x8
SIM_IDS = (1000, 1001)          # hardware ids of the two simulated controllers
SIM_ADDRESSES = ("127.0.0.2", "127.0.0.3")
TELL_INTERVAL_MS = 20           # the simulator reports positions and status this often
SPEED = 1_000_000               # units per second
TRAVEL_LIMIT = 500_000          # axes stop at +-TRAVEL_LIMIT: half a second from 0


def in_private_network_namespace():
    """True inside the namespace of tests/support/netns-run.sh: the marker
    variable is set and every interface is a loopback one."""
    if os.environ.get("UC_IN_PRIVATE_NETNS") != "1":
        return False
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        for _, name in socket.if_nameindex():
            request = struct.pack("16sH22x", name.encode()[:15], 0)
            flags = struct.unpack_from("16sH", fcntl.ioctl(probe, SIOCGIFFLAGS, request))[1]
            if not flags & IFF_LOOPBACK:
                return False
    return True


def wait_for_records(caplog, wanted, timeout=3.0):
    """The captured records of the dravex loggers once each predicate
    matched one of them (the lines arrive through a reader thread)."""
    deadline = time.monotonic() + timeout
    while True:
        records = [r for r in caplog.records if r.name.startswith("dravex")]
        if all(any(match(r) for r in records) for match in wanted):
            return records
        if time.monotonic() >= deadline:
            raise AssertionError(f"records missing: {[(r.name, r.levelname, r.message) for r in records]}")
        time.sleep(0.02)


@pytest.fixture(scope="session")
def private_network():
    if not in_private_network_namespace():
        pytest.skip("needs a private network namespace (run through tests/support/netns-run.sh)")
    # tormak probes from the default interface: route multicast to lo, the
    # only interface of this namespace.
    ip = shutil.which("ip")
    if ip:
        subprocess.run([ip, "route", "replace", "224.0.0.0/4", "dev", "lo"], check=False)


def _read_started_lines(process, count, timeout):
    lines, deadline = [], time.monotonic() + timeout
    while len(lines) < count:
        remaining = deadline - time.monotonic()
        if remaining <= 0 or not select.select([process.stdout], [], [], remaining)[0]:
            raise RuntimeError(f"positioner-sim did not start: {lines}")
        line = process.stdout.readline()  # unbuffered: reads no further than the line
        if not line:
            raise RuntimeError(f"positioner-sim ended: exit code {process.wait()}")
        lines.append(line.decode().strip())
    return lines


@pytest.fixture(scope="session")
def simulator(private_network):
    program = os.environ.get("POSITIONER_SIM")
    if not program:
        pytest.fail("POSITIONER_SIM must name the positioner-sim program")
    process = subprocess.Popen(
        [program, "--count", str(len(SIM_IDS)), "--id", str(SIM_IDS[0]),
         "--tell-interval", str(TELL_INTERVAL_MS), "--speed", str(SPEED),
         "--travel-limit", str(TRAVEL_LIMIT), "--quiet"],
        stdout=subprocess.PIPE, bufsize=0)
    try:
        yield _read_started_lines(process, len(SIM_IDS), timeout=10)
    finally:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


@pytest.fixture(scope="session")
def controllers(simulator):
    """The scan, made once before any controller is opened."""
    import dravex
    return dravex.find_controllers()


@pytest.fixture
def device(controllers):
    """Device number of the first available controller."""
    available = [info.device for info in controllers if info.available]
    assert available, f"no available controller in {controllers}"
    return available[0]


@pytest.fixture
def controller(simulator):
    """The first simulated controller, opened by address."""
    import dravex
    with dravex.Controller(address=SIM_ADDRESSES[0]) as opened:
        yield opened
