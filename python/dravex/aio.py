"""asyncio interface: the same controller and axis, awaited.

    import asyncio
    from dravex import aio

    async def main():
        async with aio.Controller(address="192.0.2.7") as controller:
            x = controller.axis(0)
            await x.move_to(5000)
            async for state in x.watch(0.1):
                print(state.position, state.status)

    asyncio.run(main())

Library calls run in the controller's own worker thread, one at a time and
in order, so the event loop is never blocked. Stops (Axis.stop, stop_all
and the halt of a failed or cancelled move) do not queue behind that
worker: they go out at once from a thread of the loop's default executor,
whatever the worker is waiting for. Moves and watch() wake on the
controller's reports (its monitor), never on a polling timer.
"""
from __future__ import annotations

import asyncio
import concurrent.futures
import functools
from typing import Any, AsyncIterator, Awaitable, Callable, Dict, List, Mapping, Optional, TypeVar

from . import controller as _sync
from . import _moves
from ._moves import MoveGroup, Start
from .axis import Axis as SyncAxis
from .axis import AxisState
from .discovery import ControllerInfo
from .discovery import find_controllers as _find_controllers
from .errors import NotConnected
from .monitor import Snapshot
from .status import Status

T = TypeVar("T")


async def find_controllers() -> List[ControllerInfo]:
    """dravex.find_controllers() in a worker thread."""
    return await asyncio.get_running_loop().run_in_executor(None, _find_controllers)


class Controller:
    """A dravex.Controller whose calls are awaited; the same arguments."""

    def __init__(self, device: Optional[int] = None, *, address: Optional[str] = None,
                 hardware_id: Optional[int] = None) -> None:
        self.sync = _sync.Controller(device, address=address, hardware_id=hardware_id)
        self._worker: Optional[concurrent.futures.ThreadPoolExecutor] = None
        self._axes: Dict[int, Axis] = {}

    def run(self, function: Callable[..., T], *args: Any) -> Awaitable[T]:
        """Runs a blocking function in this controller's worker thread."""
        if self._worker is None:
            self._worker = concurrent.futures.ThreadPoolExecutor(1, "dravex-controller")
        loop = asyncio.get_running_loop()
        return loop.run_in_executor(self._worker, functools.partial(function, *args))

    def halt(self, function: Callable[..., T], *args: Any) -> Awaitable[T]:
        """Runs a stop beside the worker (in the loop's default executor),
        so that it never waits for the call the worker is in."""
        loop = asyncio.get_running_loop()
        return loop.run_in_executor(None, functools.partial(function, *args))

    async def open(self) -> "Controller":
        await self.run(self.sync.open)
        return self

    async def close(self) -> None:
        """Closes the connection and ends the worker thread."""
        try:
            await asyncio.shield(self.run(self.sync.close))
        finally:
            worker, self._worker = self._worker, None
            if worker is not None:
                worker.shutdown(wait=False)

    async def __aenter__(self) -> "Controller":
        return await self.open()

    async def __aexit__(self, exc_type: Optional[type], exc: Optional[BaseException],
                        tb: Any) -> None:
        try:
            await self.close()
        except Exception:
            if exc_type is None:
                raise

    async def call(self, function: str, *args: Any) -> Any:
        """Any Positioner function with this controller's handle first."""
        return await self.run(self.sync.call, function, *args)

    def axis(self, number: int, *, scale: Optional[float] = None,
             unit: Optional[str] = None) -> "Axis":
        """Axis number (0..5), with its unit as for dravex.Controller.axis."""
        sync_axis = self.sync.axis(number, scale=scale, unit=unit)
        return self._axes.setdefault(number, Axis(self, sync_axis))

    async def stop_all(self) -> None:
        """Halts every axis at once (not behind the worker)."""
        await self.halt(self.sync.stop_all)

    async def move_all(self, targets: Mapping[int, float], timeout: Optional[float] = None,
                       tolerance: float = 0, poll_interval: float = 0.01) -> Dict[int, float]:
        """As dravex.Controller.move_all; cancellation halts every axis
        started. poll_interval is ignored (waits wake on reports)."""
        group = self.sync.move_group(targets, timeout, tolerance)
        return await _moves.wait_async(group, self.run, self.halt, self.sync.monitor)

    def __repr__(self) -> str:
        return f"<dravex.aio.Controller {self.sync!r}>"


class Axis:
    """A dravex.Axis whose calls are awaited (see dravex.Axis for meanings
    and units). Property values: await axis.get("amplitude"),
    await axis.set("amplitude", 40000)."""

    def __init__(self, controller: Controller, sync_axis: SyncAxis) -> None:
        self.controller = controller
        self.sync = sync_axis

    @property
    def number(self) -> int:
        return self.sync.number

    async def get(self, name: str) -> Any:
        """The value of a dravex.Axis property, e.g. "position"."""
        return await self.controller.run(getattr, self.sync, name)

    async def set(self, name: str, value: Any) -> None:
        """Sets a dravex.Axis property, e.g. "amplitude"."""
        await self.controller.run(setattr, self.sync, name, value)

    async def position(self) -> float:
        return await self.controller.run(lambda: self.sync.position)

    async def status(self) -> Status:
        return await self.controller.run(lambda: self.sync.status)

    async def state(self) -> AxisState:
        return await self.controller.run(self.sync.state)

    async def stop(self) -> None:
        """Halts the axis at once (not behind the worker)."""
        await self.controller.halt(self.sync.stop)

    async def move_to(self, target: float, timeout: Optional[float] = None,
                      rotation_count: int = 0, tolerance: float = 0,
                      poll_interval: float = 0.01) -> float:
        """As dravex.Axis.move_to with wait; cancellation stops the axis."""
        return await self._move(functools.partial(self.sync.start_move_to, target, timeout,
                                                  rotation_count, tolerance), poll_interval)

    async def move_by(self, distance: float, timeout: Optional[float] = None,
                      rotation_count: int = 0, tolerance: float = 0,
                      poll_interval: float = 0.01) -> float:
        """As dravex.Axis.move_by with wait; cancellation stops the axis."""
        return await self._move(functools.partial(self.sync.start_move_by, distance, timeout,
                                                  rotation_count, tolerance), poll_interval)

    async def _move(self, start: Start, poll_interval: float) -> float:
        controller = self.controller
        group = MoveGroup([(self.sync, start)])
        positions = await _moves.wait_async(group, controller.run, controller.halt,
                                            controller.sync.monitor)
        return positions[self.number]

    async def watch(self, interval: float = 0.0) -> AsyncIterator[AxisState]:
        """Yields the axis's position and status: the current ones first,
        then after every report that changed them (at most one every
        interval seconds; 0: every one), until the consumer stops iterating.
        Raises NotConnected when the connection is lost."""
        monitor = self.controller.sync.monitor
        changed = asyncio.Event()
        wake = _moves.event_setter(changed)

        def on_report(axis: int, _: Snapshot) -> None:
            if axis == self.number:
                wake()

        subscription = monitor.subscribe(on_report, wake)
        try:
            while True:
                changed.clear()
                if monitor.lost:
                    raise NotConnected(function="watch", detail="the connection to the controller "
                                       "was lost; check the controller, then open it again")
                snapshot = monitor.snapshot(self.number)
                yield AxisState(self.sync.to_unit(snapshot.position), snapshot.status)
                if interval > 0:
                    await asyncio.sleep(interval)
                await changed.wait()
        finally:
            subscription.cancel()

    def __repr__(self) -> str:
        return f"<dravex.aio.Axis {self.number} of {self.controller.sync!r}>"
