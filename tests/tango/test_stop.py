"""Stop and StopAll go out at once: while another client's read of
Amplitude waits for a controller whose replies come 2.5 s late, or never,
each reaches the wire (positioner-sim --log-requests) before that read
ends, and ends the approach of an axis before stopping it. A read of the
stopped axis's own device holds the Stop for ReadWait (0.5 s) at most."""
import signal
import subprocess
import sys
import time

import pytest

from sim_process import request_time, requests

READER = """
import sys, tango
proxy = tango.DeviceProxy(sys.argv[1])
proxy.set_timeout_millis(15000)
try:
    proxy.read_attribute("Amplitude")
except tango.DevFailed as error:
    print(error.args[0].reason)
"""


@pytest.fixture(params=[("late", 1), ("silent", 1), ("silent", 0)],
                ids=["late", "silent", "silent-same-device"])
def slow(request, server):
    """(simulator, the client's device of axis 0, a client process reading
    Amplitude of axis 1, or 0, that is waiting for its reply). The silent
    controller answers nothing from the read on (SIGUSR2 of positioner-sim)."""
    kind, read_axis = request.param
    simulator = request.getfixturevalue(f"{kind}_controller")
    silent = kind == "silent"
    if silent:
        silence(simulator, "on")
    reader = subprocess.Popen([sys.executable, "-c", READER,
                               server.get_device_access(f"test/{kind}/{read_axis}")],
                              stdout=subprocess.PIPE, text=True)
    try:
        assert simulator.wait_for_log(f"request GET 1024[{read_axis}]", 10), \
            "the read did not reach the wire"
        yield simulator, server.get_device(f"test/{kind}/0"), reader, read_axis == 0
    finally:
        reader.kill()
        reader.wait()
        if silent:
            silence(simulator, "off")


def silence(simulator, switch):
    """Switches the silent fault and waits until it took effect (two
    signals sent at once would be taken as one)."""
    simulator.signal(signal.SIGUSR2)
    assert simulator.wait_for_log(f"fault silent {switch}", 5), f"silence not switched {switch}"


def test_stops_reach_the_wire_while_another_client_reads(slow):
    simulator, device, reader, same_device = slow
    called = time.monotonic()
    device.Stop()
    lines = simulator.log_until("request SET 1107[0] := 1", 5)
    assert lines is not None, "Stop did not reach the wire"
    if same_device:
        # The device's own read gave up after ReadWait, with a sentence.
        assert request_time(lines[-1]) - called < 1.5
        assert reader.communicate(timeout=5)[0].strip() == "PositionerDS_NoReply"
    else:
        assert reader.poll() is None, "Stop went out only after the read"
        assert request_time(lines[-1]) - called < 1.0
    assert requests(lines)[-2:] == ["SET 1037[0] := 0", "SET 1107[0] := 1"]

    device.StopAll()
    lines = simulator.log_until("request SET 1107[5] := 1", 5)
    assert lines is not None and (same_device or reader.poll() is None), \
        "StopAll went out only after the read"
    sent = requests(lines)
    for axis in range(6):
        assert sent.index(f"SET 1037[{axis}] := 0") < sent.index(f"SET 1107[{axis}] := 1"), sent
