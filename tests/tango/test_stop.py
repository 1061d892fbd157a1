"""Stop and StopAll go out at once: while another client's read of
Amplitude waits for a controller whose replies come 2.5 s late, or never,
each reaches the wire (positioner-sim --log-requests) before that read
ends, and ends the approach of an axis before stopping it."""
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
except tango.DevFailed:
    pass
"""
AMPLITUDE_QUERY = "request GET 1024[1]"


@pytest.fixture(params=["late", "silent"])
def slow(request, server):
    """(simulator, the client's device of axis 0, a client process reading
    Amplitude of axis 1 that is waiting for its reply). The silent
    controller answers nothing from the read on (SIGUSR2 of positioner-sim)."""
    simulator = request.getfixturevalue(f"{request.param}_controller")
    silent = request.param == "silent"
    if silent:
        simulator.signal(signal.SIGUSR2)
    reader = subprocess.Popen([sys.executable, "-c", READER,
                               server.get_device_access(f"test/{request.param}/1")])
    try:
        assert simulator.wait_for_log(AMPLITUDE_QUERY, 10), "the read did not reach the wire"
        yield simulator, server.get_device(f"test/{request.param}/0"), reader
    finally:
        reader.kill()
        reader.wait()
        if silent:
            simulator.signal(signal.SIGUSR2)


def test_stops_reach_the_wire_while_another_client_reads(slow):
    simulator, device, reader = slow
    called = time.monotonic()
    device.Stop()
    lines = simulator.log_until("request SET 1107[0] := 1", 5)
    assert lines is not None and reader.poll() is None, "Stop went out while the read waited"
    assert request_time(lines[-1]) - called < 1.0
    assert requests(lines)[-2:] == ["SET 1037[0] := 0", "SET 1107[0] := 1"]

    device.StopAll()
    lines = simulator.log_until("request SET 1107[5] := 1", 5)
    assert lines is not None and reader.poll() is None, "StopAll went out while the read waited"
    sent = requests(lines)
    for axis in range(6):
        assert sent.index(f"SET 1037[{axis}] := 0") < sent.index(f"SET 1107[{axis}] := 1"), sent
