"""One Controller from several threads: a stop that goes out while another
thread's read waits for a late reply, a move that someone else stopped,
the monitor's reports and a lost connection, and dravex.aio's stop beside
its worker. Stops are checked on the wire (positioner-sim --log-requests)."""
import asyncio
import threading
import time

import pytest

import dravex
from dravex import aio
from sim_process import request_time

LATE = "127.0.0.9"    # every reply 2.5 s late
PLAIN = "127.0.0.10"


@pytest.fixture
def late_simulator(start_simulator):
    return start_simulator("--address", LATE, "--fault", "late=2500", "--log-requests", logged=True)


def test_stop_goes_out_while_another_thread_waits_for_a_reply(late_simulator):
    with dravex.Controller(address=LATE) as controller:
        reader = threading.Thread(target=lambda: controller.axis(1).amplitude)
        reader.start()
        assert late_simulator.wait_for_log("request GET 1024[1]", 5)
        called = time.monotonic()
        controller.axis(0).stop()
        lines = late_simulator.log_until("request SET 1107[0] := 1", 5)
        assert lines is not None and reader.is_alive(), "the stop went out while the read waited"
        assert lines[-2].split(" at ")[0].endswith("request SET 1037[0] := 0"), lines[-2:]
        assert request_time(lines[-1]) - called < 1.0
        reader.join()


def test_move_stopped_by_another_thread_raises_move_stopped(controller):
    axis = controller.axis(5)
    moving = threading.Event()
    subscription = controller.monitor.subscribe(
        lambda number, snapshot: number == 5 and snapshot.status.moving and moving.set())
    # Stops once the move is under way, however slowly the machine runs.
    stopper = threading.Thread(target=lambda: moving.wait(5) and axis.stop())
    stopper.start()
    try:
        with pytest.raises(dravex.MoveStopped) as raised:
            axis.move_to(1_000_000, timeout=10)       # 1 s at full speed
    finally:
        moving.set()
        stopper.join()
        subscription.cancel()
    assert 0 < raised.value.position < 1_000_000
    assert "stopped before its target" in str(raised.value)
    assert axis.move_to(0, timeout=5) == 0


def test_monitor_tells_of_reports_and_of_a_lost_connection_at_once(start_simulator):
    sim = start_simulator("--address", PLAIN, "--tell-interval", "10")
    with dravex.Controller(address=PLAIN) as controller:
        reports, lost = [], threading.Event()
        controller.monitor.subscribe(lambda axis, snapshot: reports.append((axis, snapshot)),
                                     lost.set)
        assert controller.axis(2).move_to(300_000, timeout=5) == 300_000
        moving = [s.position for axis, s in reports if axis == 2 and s.status.moving]
        assert moving and moving == sorted(moving)
        snapshot = controller.monitor.snapshot(2)
        assert snapshot.position == 300_000 and snapshot.reported_at <= time.monotonic()

        ended = time.monotonic()
        sim.stop()
        assert lost.wait(3) and time.monotonic() - ended < 1.5
        with pytest.raises(dravex.NotConnected):
            controller.axis(0).stop()


def test_aio_stop_does_not_wait_for_the_worker(late_simulator):
    async def scenario():
        async with aio.Controller(address=LATE) as controller:
            read = asyncio.create_task(controller.axis(1).get("amplitude"))
            loop = asyncio.get_running_loop()
            assert await loop.run_in_executor(None, late_simulator.wait_for_log,
                                              "request GET 1024[1]", 5)
            started = time.monotonic()
            await controller.axis(0).stop()
            took = time.monotonic() - started
            assert not read.done(), "the worker still waits for the late reply"
            await read
            return took
    assert asyncio.run(scenario()) < 0.5
