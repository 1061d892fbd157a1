"""Moves that fail leave their axes standing: time-out, end of travel,
Ctrl-C, several axes, asyncio cancellation; decoded status and units.
Against positioner-sim (1,000,000 units/s, travel +-500,000)."""
import asyncio
import signal
import subprocess
import sys
import time

import pytest

import dravex
from dravex import aio
from conftest import SIM_ADDRESSES, SPEED, TRAVEL_LIMIT


def assert_standing(axis, seconds=0.5):
    """The axis reports no movement and the same position for seconds."""
    before = axis.position
    time.sleep(seconds)
    assert not axis.status.moving
    assert axis.position == before, f"axis {axis.number} moved from {before} to {axis.position}"


@pytest.fixture
def home(controller):
    """Returns the axes a test used to 0."""
    used = []
    yield used
    for number in used:
        controller.axis(number).move_to(0, timeout=5)


def test_timed_out_move_stops_the_axis_and_says_where_it_is(controller, home):
    axis = controller.axis(0)
    home.append(0)
    with pytest.raises(dravex.MoveTimeout) as raised:
        axis.move_to(400_000, timeout=0.2)
    error = raised.value
    assert isinstance(error, dravex.MotionError) and isinstance(error, TimeoutError)
    assert (error.axis, error.target) == (0, 400_000) and 0 < error.position < 400_000
    assert "axis 0" in str(error) and "stopped" in str(error)
    assert_standing(axis)

    assert axis.move_to(1000, timeout=5) == 1000
    status = axis.status
    assert status.target_reached and status.approach_active
    assert not status.moving and not status.end_of_travel
    assert status.packed & dravex.STATUS_TARGET_REACHED
    assert repr(status) == "<Status 0xA: target reached, approach active>"
    with pytest.raises(AttributeError):
        status.packed = 0


def test_end_of_travel_raises_within_a_second_and_stops(controller, home):
    axis = controller.axis(1)
    home.append(1)
    started = time.monotonic()
    with pytest.raises(dravex.EndOfTravel) as raised:
        axis.move_to(2 * TRAVEL_LIMIT, timeout=10)
    reached_limit = TRAVEL_LIMIT / SPEED            # when the controller reports it
    assert time.monotonic() - started < reached_limit + 1.0
    assert raised.value.position == TRAVEL_LIMIT and raised.value.status.end_of_travel
    assert_standing(axis)


def test_ctrl_c_during_a_move_stops_the_axis(simulator):
    script = f"""
import time
import dravex
with dravex.Controller(address={SIM_ADDRESSES[1]!r}) as controller:
    axis = controller.axis(0)
    axis.move_to(400_000, timeout=10)
    try:
        print("moving", flush=True)
        axis.move_to(-400_000, timeout=10)          # 0.8 s
    except KeyboardInterrupt:
        first = axis.position
        time.sleep(0.5)
        print("interrupted", first, axis.position, axis.status.moving, flush=True)
    axis.move_to(0, timeout=5)
"""
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "moving\n"
        time.sleep(0.3)
        child.send_signal(signal.SIGINT)
        out, _ = child.communicate(timeout=20)
    finally:
        child.kill()
    word, first, later, moving = out.split()
    assert (word, moving) == ("interrupted", "False") and child.returncode == 0
    assert first == later and -400_000 < int(first) < 400_000


def test_move_all_stops_every_axis_when_one_fails(controller, home):
    near_limit, far = controller.axis(2), controller.axis(3)
    home.extend([2, 3])
    start = TRAVEL_LIMIT - 50_000
    assert controller.move_all({2: start, 3: start}, timeout=5) == {2: start, 3: start}
    # Axis 2 hits the end of travel after 50 ms; axis 3 needs 900 ms.
    with pytest.raises(dravex.EndOfTravel) as raised:
        controller.move_all({2: TRAVEL_LIMIT + 100_000, 3: -start}, timeout=5)
    assert raised.value.axis == 2
    assert -start < far.position < start
    assert_standing(far)
    assert_standing(near_limit, 0)
    assert controller.move_all({2: 0, 3: 0}, timeout=5) == {2: 0, 3: 0}


def test_a_cancel_in_the_same_turn_as_a_report_is_not_lost():
    """A report that wakes a move's wait in the loop turn of its
    cancellation: the cancellation still ends the wait (the move halts)."""
    from dravex._moves import wait_or_timeout

    async def scenario():
        report = asyncio.Event()
        waiting = asyncio.create_task(wait_or_timeout(report, 10))
        await asyncio.sleep(0)
        report.set()
        waiting.cancel()
        with pytest.raises(asyncio.CancelledError):
            await waiting
    asyncio.run(scenario())


def test_cancelled_asyncio_move_stops_the_axis_and_watch_follows(simulator):
    async def scenario():
        async with aio.Controller(address=SIM_ADDRESSES[0]) as controller:
            axis = controller.axis(4, scale=0.001, unit="um")   # 1 unit = 1 nm
            states = []

            async def follow():
                async for state in axis.watch(0.02):
                    states.append(state)

            assert await axis.move_to(-400.0) == -400.0
            watcher = asyncio.create_task(follow())
            move = asyncio.create_task(axis.move_to(400.0))    # 0.8 s
            await asyncio.sleep(0.4)
            move.cancel()
            with pytest.raises(asyncio.CancelledError):
                await move
            watcher.cancel()
            stopped = await axis.position()
            await asyncio.sleep(0.5)
            assert await axis.position() == stopped and -400.0 < stopped < 400.0
            moving = [state.position for state in states if state.status.moving]
            assert len(moving) > 3 and moving == sorted(moving)     # followed the move
            assert await axis.move_to(0.5) == 0.5
            assert await controller.call("PositionerGetPosition", 4) == 500
            assert await axis.move_to(0) == 0
    asyncio.run(scenario())
