"""The controller at 127.0.0.4 (travel +-300,000): the end of travel
turns the axis to ALARM; a controller that closes its connections, or
goes away for a while, turns the axis to FAULT with the reason and back to
ON without a restart of the server."""
import signal
import time

import pytest
import tango
from tango import DevState

from conftest import wait_for_state


@pytest.fixture
def axis(server):
    return server.get_device("test/lossy/0")


def test_end_of_travel_is_an_alarm(axis):
    axis.MoveContinuous(1)
    wait_for_state(axis, DevState.ALARM, timeout=5)
    assert "end of travel" in axis.status()
    assert list(axis.LimitSwitches) == [False, True, False]
    axis.MoveContinuous(1)                  # further into the end: halted at once
    wait_for_state(axis, DevState.ALARM, timeout=1)
    axis.Position = 0
    wait_for_state(axis, DevState.ON, timeout=5)
    assert axis.Position == 0 and not any(axis.LimitSwitches)


def test_closed_connection_turns_fault_at_once_then_on(axis, lossy_controller, record):
    events = record(axis, "State", "Position", "Speed")
    events.wait_for("State", DevState.ON)
    events.clear()
    closed = time.time()
    lossy_controller.signal(signal.SIGUSR1)          # the simulator's close-connection fault
    events.wait_for("State", DevState.ON, timeout=10)
    assert events.values("State") == [DevState.FAULT, DevState.INIT, DevState.ON]
    assert events.stamp(("state", DevState.FAULT)) - closed < 0.1
    # Each value once INVALID (None) with the loss; after the reconnect
    # none before the first report (INIT until then).
    order = events.snapshot()
    for name in ("position", "speed"):
        values = [(n, v) for n, v in order if n == name]
        assert values[0] == (name, None) and None not in [v for _, v in values[1:]], values
        assert order.index((name, None)) < order.index(("state", DevState.INIT))
        assert order.index(values[1]) > order.index(("state", DevState.INIT))


def test_controller_away_and_back(server, axis, lossy_controller):
    controller = server.get_device("test/controller/lossy")
    axis.Amplitude = 33333
    lossy_controller.stop()
    wait_for_state(axis, DevState.FAULT, timeout=5)
    with pytest.raises(tango.DevFailed) as info:   # as Tango's memorized write at start
        controller.Trigger0Axis = 3
    assert "Trigger0Axis 3 is kept" in info.value.args[0].desc
    assert "127.0.0.4" in axis.status()
    started = time.monotonic()
    with pytest.raises(tango.DevFailed) as info:
        axis.Stop()
    assert time.monotonic() - started < 2.0     # at once, not after a library time-out
    assert "127.0.0.4" in info.value.args[0].desc
    time.sleep(1.0)                            # a few reconnection attempts fail
    assert "127.0.0.4 cannot be opened" in axis.status() and "next try in" in axis.status()

    lossy_controller.start()
    wait_for_state(axis, DevState.ON, timeout=10)
    # The new simulator forgot the setting; the device sent it again.
    assert axis.Amplitude == 33333 and "Amplitude 33333" in axis.status()
    wait_for_state(controller, DevState.ON)
    assert "Trigger0Axis 3" in controller.status() and controller.Trigger0Axis == 3
    axis.MoveRelative(1000)
    wait_for_state(axis, DevState.ON, timeout=5)
    assert axis.Position == 1000
