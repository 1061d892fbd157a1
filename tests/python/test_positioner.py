"""The Positioner layer against positioner-sim (two controllers, found by
both discovery probes)."""
import time

import pytest

import dravex
from dravex import _positioner_api
from conftest import SIM_ADDRESSES, SIM_IDS


def test_find_controllers_lists_each_controller_once(controllers):
    # Each controller answers the ADDP and the Velorix probe: one entry with
    # both device numbers.
    assert sorted((info.address, info.hardware_id) for info in controllers) == sorted(
        zip(SIM_ADDRESSES, SIM_IDS))
    assert all(info.available and info.carrier == "tcp" for info in controllers)
    assert all(info.found_by == ("addp", "velorix") or info.found_by == ("velorix", "addp")
               for info in controllers)
    devices = sorted(d for info in controllers for d in info.devices)
    assert devices == list(range(2 * len(SIM_IDS)))
    assert all(type(info.hardware_id) is int for info in controllers)  # copied out


def test_controller_as_context_manager(device):
    with dravex.Controller(device) as controller:
        handle = controller.handle
        assert controller.is_open and 1 <= handle <= 99
        assert controller.axis(0).frequency >= 0   # the connection answers
    assert not controller.is_open
    with pytest.raises(dravex.NotConnected) as raised:
        controller.axis(0).amplitude
    assert raised.value.code == 2
    # The library itself refuses the handle number once it is closed.
    with pytest.raises(dravex.NotConnected):
        _positioner_api.call("PositionerGetAmplitude", handle, 0)
    with pytest.raises(dravex.NoDevice) as raised:
        dravex.Controller(99).open()
    assert raised.value.code == 9


def test_setters_and_getters_round_trip(device):
    with dravex.Controller(device) as controller:
        axis2, axis3 = controller.axis(2), controller.axis(3)
        axis2.amplitude, axis3.amplitude = 41000, 42000
        axis2.frequency = 1500
        axis2.dc_level = -350
        axis2.dc_in, axis2.ac_in, axis2.int_enable, axis2.bandwidth_limit = True, True, False, True
        assert (axis2.amplitude, axis3.amplitude) == (41000, 42000)
        assert (axis2.frequency, axis2.dc_level) == (1500, -350)
        assert (axis2.dc_in, axis2.ac_in, axis2.int_enable, axis2.bandwidth_limit) == (
            True, True, False, True)
        assert controller.axis(1).measure_capacity() == 960   # the simulator's 950 + 10 * axis
        controller.call("PositionerTriggerModeOut", 2)        # any function by name


def test_moves_wait_for_the_reported_position(device):
    with dravex.Controller(device) as controller:
        axis = controller.axis(1)
        assert axis.move_to(5000, timeout=5) == 5000
        assert axis.move_by(-1500, timeout=5) == 3500
        axis.step(dravex.FORWARD)
        assert axis.wait_for(3600, timeout=5) == 3600      # the simulator's step is 100
        position, valid = axis.reference
        assert isinstance(position, int) and isinstance(valid, bool)

        started = time.monotonic()
        with pytest.raises(dravex.MoveTimeout) as raised:
            axis.move_to(400_000, timeout=0.2)               # far beyond a 0.2 s move
        assert raised.value.target == 400_000 and time.monotonic() - started < 2
        assert axis.move_to(0, timeout=30) == 0


def test_errors_carry_the_result_code(device, tmp_path):
    with dravex.Controller(device) as controller:
        checks = [
            (lambda: controller.axis(6).amplitude, "PositionerGetAmplitude"),
            (lambda: setattr(controller.axis(0), "amplitude", 140001), "PositionerAmplitude"),
            (lambda: controller.axis(0).step(2), "PositionerMoveSingleStep"),
            (lambda: controller.axis(0).load(tmp_path / "missing.txt"), "PositionerLoad"),
        ]
        for action, function in checks:
            with pytest.raises(dravex.InvalidParameter) as raised:
                action()
            assert raised.value.code == 6 and function in str(raised.value)


def test_load_sends_the_file_to_one_axis(device, tmp_path):
    settings = tmp_path / "axis.txt"
    settings.write_text("frequ\n1234 unknownkey 5\nmaxampl 42\n")
    with dravex.Controller(device) as controller:
        controller.axis(5).frequency = 999
        controller.axis(4).load(settings)
        assert controller.axis(4).frequency == 1234
        assert controller.axis(5).frequency == 999


def test_trace_writes_telegram_lines_to_a_log_file(device, tmp_path):
    log = tmp_path / "trace.log"
    # Switched while no controller is open: tracing must not change while
    # receive threads write lines.
    dravex.trace(log_file=log, prefix="py")
    try:
        with dravex.Controller(device) as controller:
            controller.axis(0).amplitude
    finally:
        dravex.trace(on=True, log_file=None, flags=0)   # closes the log file
    text = log.read_text()
    assert "py TRACE" in text
    assert any("ACK " in line and "Addr=400" in line for line in text.splitlines())


def test_controllers_opened_by_address_hardware_id_and_device(controllers):
    first, second = sorted(controllers, key=lambda info: info.address)
    with dravex.Controller(address=SIM_ADDRESSES[0]) as by_address, \
            dravex.Controller(hardware_id=second.hardware_id) as by_id:
        assert repr(by_address) == (f"<dravex.Controller address {SIM_ADDRESSES[0]}, tcp, "
                                    f"handle {by_address.handle}>")
        assert f"address {second.address}, tcp, hardware id {second.hardware_id}, device " \
            in repr(by_id)
        by_address.axis(5).amplitude = 31000
        by_id.axis(5).amplitude = 32000
        assert (by_address.axis(5).amplitude, by_id.axis(5).amplitude) == (31000, 32000)
    assert repr(by_id).endswith(", closed>")
    # Device numbers belong to the newest scan (Controller(hardware_id=) made one).
    first = next(info for info in dravex.find_controllers() if info.address == first.address)
    with dravex.Controller(device=first.devices[-1]) as by_device:
        assert by_device.axis(5).amplitude == 31000
        assert by_device.address == first.address
    with pytest.raises(dravex.SeveralControllers, match="2 controllers found"):
        dravex.Controller().open()
    with pytest.raises(dravex.ControllerNotFound, match="hardware id 4242"):
        dravex.Controller(hardware_id=4242).open()
    with pytest.raises(dravex.NotConnected, match="no controller answers at 127.0.0.99"):
        dravex.Controller(address="127.0.0.99").open()     # nothing listens there
    with pytest.raises(ValueError):
        dravex.Controller(3, address=SIM_ADDRESSES[0])
