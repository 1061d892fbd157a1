"""PositionerAxis devices of one server process against two simulated
controllers: drive settings, state machine, commands, change events of a
move, units, two controllers and one shared handle per controller."""
import time

import dravex
import pytest
import tango
from tango import DevState

from conftest import wait_for_state, wait_until
from sim_process import requests


@pytest.fixture
def a0(server):
    return server.get_device("test/axis/a0")


def failure(call, *args):
    """The description of the DevFailed that call(*args) raises."""
    with pytest.raises(tango.DevFailed) as info:
        call(*args)
    return info.value.args[0].desc


def test_settings_and_output(a0):
    a0.Amplitude = 45000
    a0.Frequency = 1500
    assert (a0.Amplitude, a0.Frequency) == (45000, 1500)
    assert "above the maximum" in failure(a0.write_attribute, "Amplitude", 140001)
    assert "below the minimum" in failure(a0.write_attribute, "StepCount", 0)
    a0.StepCount = 3
    assert a0.StepCount == 3
    assert a0.get_attribute_config("Amplitude").disp_level == tango.DispLevel.EXPERT
    step_count = a0.get_attribute_config_ex("StepCount")[0]
    assert (step_count.label, step_count.format, step_count.events.ch_event.abs_change) == \
        ("Step count", "%d", "1")

    a0.Output = False
    assert a0.state() == DevState.DISABLE and "output is off" in a0.status()
    assert "output is off" in failure(a0.MoveRelative, 10)
    a0.Output = True
    assert a0.state() == DevState.ON


def test_move_pushes_every_report_and_ends_at_the_target(a0, record):
    events = record(a0, "Position", "State")
    archive = record(a0, "Position", kind=tango.EventType.ARCHIVE_EVENT)   # no Tango polling
    events.wait_for("State", DevState.ON)
    events.clear()
    archive.clear()
    target = a0.Position + 200_000          # 0.2 s at the simulator's speed
    a0.Position = target
    assert "is moving" in failure(a0.write_attribute, "Position", target + 1)
    events.wait_for("State", DevState.ON)

    order = events.snapshot()
    assert order[0] == ("state", DevState.MOVING)
    positions = events.values("Position")
    assert len(positions) >= 5 and positions == sorted(positions), positions
    assert positions[-1] == target
    assert order.index(("position", target)) < order.index(("state", DevState.ON))
    assert a0.Position == target
    archived = archive.values("Position")
    assert len(archived) >= 5 and archived == sorted(archived) and archived[-1] == target


def test_commands(server, a0):
    a0.ResetPosition()
    wait_until(lambda: a0.Position == 0, 2, "position 0 after ResetPosition")
    a0.Step(1)
    wait_until(lambda: a0.Position > 0, 2, "a step forward")
    assert "Direction 2" in failure(a0.Step, 2)

    a0.MoveContinuous(0)
    wait_until(lambda: a0.Position < -10_000, 2, "a continuous move backward")
    assert "not allowed" in failure(a0.ResetPosition)
    assert "not allowed" in failure(a0.write_attribute, "Amplitude", 40000)
    assert a0.Amplitude >= 0                          # reads stay allowed
    a0.Stop()
    wait_for_state(a0, DevState.ON, timeout=2)
    stopped = a0.Position
    time.sleep(0.3)
    assert a0.Position == stopped

    a0.MoveReference()
    wait_until(lambda: a0.ReferenceValid, 5, "a valid reference position")
    wait_for_state(a0, DevState.ON, timeout=5)   # the reference move has ended
    a0.MeasureCapacity()                 # returns at once; the result follows
    wait_until(lambda: a0.Capacity == 950, 5, "the simulator's capacity of axis 0")
    assert "RC_INVALID_PARAM" in failure(a0.LoadConfiguration, "/nonexistent/axis.cfg")


def test_configuration_file(a0, tmp_path):
    path = tmp_path / "axis0.cfg"
    path.write_text("frequ 1200\nmaxampl 50000\n")
    a0.LoadConfiguration(str(path))
    wait_until(lambda: a0.Frequency == 1200, 2, "the loaded frequency")


def test_units(server):
    a1 = server.get_device("test/axis/a1")        # Scale 0.001, Unit um
    config = a1.get_attribute_config("Position")
    assert config.unit == "um" and config.format == "%.3f"   # every digit of Scale 0.001
    speed = a1.get_attribute_config_ex("Speed")[0]
    assert (speed.label, speed.unit, float(speed.events.ch_event.abs_change)) == \
        ("Speed", "um/s", 0.001)
    start = a1.Position
    a1.MoveRelative(5.0)
    assert a1.read_attribute("Position").w_value == pytest.approx(start + 5.0)
    wait_for_state(a1, DevState.ON, timeout=5)
    with dravex.Controller(address="127.0.0.2") as controller:   # a connection of its own
        controller.wait_for_reports()
        raw = controller.axis(1).position
    assert raw != 0 and a1.Position == pytest.approx(raw * 0.001)


def test_define_position_sets_the_offset_of_every_position(server):
    b0 = server.get_device("test/axis/b0")
    raw = b0.Position
    try:
        b0.DefinePosition(raw + 1000.5)
        assert (b0.Offset, b0.Position) == (1000.5, raw + 1000.5)
        b0.Position = raw + 1500.5                     # a move by 500 units
        wait_until(lambda: b0.Position == raw + 1500.5, 3, "the move in offset units")
        wait_for_state(b0, DevState.ON, timeout=2)
    finally:
        b0.Offset = 0
    assert b0.Position == raw + 500


def test_set_value_follows_where_a_move_stops(server, a0):
    a0.MoveContinuous(1)
    wait_until(lambda: a0.state() == DevState.MOVING, 2, "a continuous move")
    a0.Stop()
    wait_for_state(a0, DevState.ON, timeout=2)
    wait_until(lambda: a0.read_attribute("Position").w_value == a0.Position, 2,
               "the set value where the axis stopped")


def client_connections(address, port=2101):
    """Established TCP connections to address:port in this namespace."""
    wanted = "%08X:%04X" % (int.from_bytes(bytes(map(int, address.split("."))), "little"), port)
    with open("/proc/net/tcp") as table:
        rows = [line.split() for line in table.readlines()[1:]]
    return sum(1 for row in rows if row[2] == wanted and row[3] == "01")


def test_two_controllers_one_handle_each(server, a0):
    b0 = server.get_device("test/axis/b0")
    assert client_connections("127.0.0.2") == 1     # a0 and a1 share one handle
    assert client_connections("127.0.0.3") == 1
    a_before, b_before = a0.Position, b0.Position
    b0.MoveRelative(50_000)
    wait_until(lambda: b0.Position == b_before + 50_000, 5, "the move of b0")
    wait_for_state(b0, DevState.ON, timeout=2)
    assert a0.Position == a_before


def test_misconfigured_device_says_what_to_set(server):
    bad = server.get_device("test/bad/0")
    assert bad.state() == DevState.FAULT
    assert bad.status() == "Set exactly one of the properties Address, HardwareId and " \
                           "ControllerDevice."
    assert "exactly one" in failure(bad.Stop)
    unnamed = server.get_device("test/bad/1")     # its ControllerDevice has no properties
    assert unnamed.state() == DevState.FAULT
    assert "test/controller/none named by ControllerDevice does not name" in unnamed.status()


def test_software_limits_bound_every_kind_of_move(server):
    axis = server.get_device("test/limited/0")          # limits -100,000 .. 100,000
    assert "software limits" in failure(axis.write_attribute, "Position", 100_001)
    assert "software limits" in failure(axis.MoveRelative, axis.Position + 200_001)
    axis.MoveContinuous(1)                   # halted at the limit (1,000,000 units/s)
    wait_for_state(axis, DevState.ON, timeout=2)
    assert 100_000 <= axis.Position <= 150_000 and "software limit" in axis.status()
    assert "software limit" in failure(axis.MoveContinuous, 1)
    assert "software limit" in failure(axis.Step, 1)
    axis.Position = 0
    wait_until(lambda: axis.Position == 0, 2, "the move back inside")


def test_controller_device_shares_the_connection(server):
    controller = server.get_device("test/controller/a")
    a2 = server.get_device("test/axis/a2")       # names the controller by this device
    wait_for_state(controller, DevState.ON)
    assert (controller.Carrier, controller.ControllerAddress) == ("tcp", "127.0.0.2")
    assert client_connections("127.0.0.2") == 1     # the axis devices' connection
    controller.SensorPowerGroupA = True
    assert controller.SensorPowerGroupA
    a2.MoveContinuous(1)
    wait_for_state(a2, DevState.MOVING, timeout=2)
    controller.StopAll()
    wait_for_state(a2, DevState.ON, timeout=2)


def test_controller_channel_settings_reach_the_wire_and_return_on_init(server,
                                                                      silent_controller):
    controller = server.get_device("test/controller/silent")
    wait_for_state(controller, DevState.ON)
    controller.Trigger2Upper = 700         # the lower bound: lowest until written
    controller.Trigger2Lower = -500
    controller.Quadrature1InputPeriod = 40
    lines = silent_controller.log_until("SET 1391[1] := 40", 5)
    assert lines is not None and requests(lines)[-5:] == [
        "SET 1328[2] := -2147483648", "SET 1329[2] := 700", "SET 1328[2] := -500",
        "SET 1329[2] := 700", "SET 1391[1] := 40"], lines
    assert (controller.Trigger2Lower, controller.Trigger2Upper) == (-500, 700)
    controller.Init()                      # sent again as on every open: the bounds once
    lines = silent_controller.log_until("SET 1391[1] := 40", 5)
    assert lines is not None and requests(lines)[-3:] == [
        "SET 1328[2] := -500", "SET 1329[2] := 700", "SET 1391[1] := 40"], lines
