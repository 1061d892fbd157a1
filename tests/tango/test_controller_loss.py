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
    axis.Position = 0
    wait_for_state(axis, DevState.ON, timeout=5)
    assert axis.Position == 0


def test_closed_connection_turns_fault_then_on(axis, lossy_controller, record):
    events = record(axis, "State")
    events.wait_for("State", DevState.ON)
    events.clear()
    lossy_controller.signal(signal.SIGUSR1)          # the simulator's close-connection fault
    events.wait_for("State", DevState.ON, timeout=10)
    # INIT until the first report after the reconnect: no value before it.
    assert events.values("State") == [DevState.FAULT, DevState.INIT, DevState.ON]


def test_controller_away_and_back(axis, lossy_controller):
    lossy_controller.stop()
    wait_for_state(axis, DevState.FAULT, timeout=5)
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
    axis.MoveRelative(1000)
    wait_for_state(axis, DevState.ON, timeout=5)
    assert axis.Position == 1000
