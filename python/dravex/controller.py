"""One controller: opened by address, hardware id or device number; its
axes; moves of several axes at once.

    import dravex
    with dravex.Controller(address="192.0.2.7") as controller:
        x = controller.axis(0)
        x.move_to(5000)
        print(x.position, x.status)

Threads: a Controller and its axes may be used from several threads at
once. A stop (Axis.stop, Controller.stop_all, the halt of a failed move)
goes out at once, whatever other threads are waiting for: it never waits
for a querying read. Reads of the same register of the same axis take
turns; everything else runs side by side. close() from any thread ends the
calls in progress on other threads (they raise NotConnected) and waits
until they have left before the handle number can be used again. Every open
Controller has one monitor thread (controller.monitor) that keeps the
latest report of each axis and tells listeners of changes.
"""
from __future__ import annotations

import functools
import threading
import time
from typing import Any, Dict, List, Mapping, Optional, Tuple

from . import _positioner_api as api
from . import _moves
from ._closing import ClosedOnExit
from ._motion import REPORT_SETTLE
from ._moves import MoveGroup, Start
from .axis import Axis
from .discovery import CARRIERS, ControllerInfo, find_controllers
from .errors import ControllerNotFound, NotConnected, SeveralControllers
from .monitor import Monitor

AXES = 6
# Held while a handle number is taken or given back, and by a close until
# the calls still on their way into the library with the old number have
# left: so that no such call reaches another controller opened meanwhile.
_handle_numbers = threading.Lock()


def choose(found: List[ControllerInfo], hardware_id: Optional[int]) -> ControllerInfo:
    """The controller of a scan to open: the one with hardware_id, or with
    none given the only one found."""
    listing = "; ".join(str(info) for info in found) or "none"
    if hardware_id is not None:
        for info in found:
            if info.hardware_id == hardware_id and info.available:
                return info
        raise ControllerNotFound(f"no available controller has hardware id {hardware_id} "
                                 f"(found: {listing})")
    available = [info for info in found if info.available]
    if not available:
        raise ControllerNotFound(f"no controller found (found: {listing}); check the cable or "
                                 "network, or open one by Controller(address=...)")
    if len(available) > 1:
        raise SeveralControllers(f"{len(available)} controllers found ({listing}); name one: "
                                 "Controller(address=...) or Controller(hardware_id=...)")
    return available[0]


class Controller(ClosedOnExit):
    """One controller, as a context manager (or call open() and close()).

    Name it by one of:
      address      dotted IPv4 address or host name: connects without a scan
      hardware_id  scans and opens the controller with that id
      device       a device number of the last scan (find_controllers())
    With none, it scans and opens the only controller found (it refuses to
    guess between several)."""

    def __init__(self, device: Optional[int] = None, *, address: Optional[str] = None,
                 hardware_id: Optional[int] = None) -> None:
        if sum(choice is not None for choice in (device, address, hardware_id)) > 1:
            raise ValueError("name a controller by one of device, address or hardware_id")
        self.device, self.address, self.hardware_id = device, address, hardware_id
        self.carrier: Optional[str] = None
        self._handle: Optional[int] = None
        self._monitor: Optional[Monitor] = None
        self._opened_at = 0.0
        self._axes: Dict[int, Axis] = {}
        self._state = threading.Condition(threading.RLock())
        self._calls = 0  # calls between reading the handle and leaving the library

    def open(self) -> "Controller":
        """Connects (nothing happens when already open)."""
        with self._state:
            if self._handle is not None:
                return self
            if self.address is None and self.device is None:
                # The scan (a second or more) before the numbering lock,
                # which a close elsewhere may be waiting for.
                self.device = choose(find_controllers(), self.hardware_id).device
            with _handle_numbers:
                handle = self._connect()
            self._opened_at = time.monotonic()
            self._monitor = Monitor(handle, f"handle {handle}").start()
            self._handle = handle
        return self

    def _connect(self) -> int:
        handle: int
        if self.address is not None:
            try:
                handle = api.call("PositionerConnectAddress", self.address)
            except NotConnected:
                raise NotConnected(function="PositionerConnectAddress", detail=(
                    f"no controller answers at {self.address} (TCP port 2101); check the "
                    "address, the network and that the controller is on")) from None
            self.carrier = "tcp"
        else:
            assert self.device is not None
            self._describe_device(self.device)  # also refuses a device number not listed
            handle = api.call("PositionerConnect", self.device)
        return handle

    def _describe_device(self, device: int) -> None:
        record = api.device_info(device)
        self.address = record.address.decode("utf-8", "replace")
        self.carrier = CARRIERS.get(record.carrier, str(record.carrier))
        if self.hardware_id is None and record.hardwareId != -1:
            self.hardware_id = record.hardwareId

    def close(self) -> None:
        """Closes the connection (may take up to one receive time-out of the
        carrier). Calls in progress on other threads end with NotConnected."""
        with self._state:
            handle, self._handle = self._handle, None
            monitor, self._monitor = self._monitor, None
        if handle is None:
            return
        assert monitor is not None
        monitor.stop()
        with _handle_numbers:
            try:
                api.call("PositionerClose", handle)  # ends the waits of other threads
            finally:
                with self._state:
                    self._state.wait_for(lambda: self._calls == 0)
                monitor.join()  # its last reads use the old number too

    def __enter__(self) -> "Controller":
        return self.open()

    @property
    def handle(self) -> Optional[int]:
        """The library's handle while open, else None."""
        return self._handle

    @property
    def is_open(self) -> bool:
        return self._handle is not None

    @property
    def monitor(self) -> Monitor:
        """The monitor of the open connection: the latest report of every
        axis, and listeners of changes (see dravex.monitor)."""
        monitor = self._monitor
        if monitor is None:
            raise NotConnected(function="monitor", detail="the controller is not open")
        return monitor

    def call(self, function: str, *args: Any) -> Any:
        """Calls any Positioner function with this controller's handle
        first, for example call("PositionerTriggerModeOut", 2). Returns the
        outputs of the function (None, one value or a tuple)."""
        with self._state:
            handle = self._handle
            if handle is None:
                # The handle number may already belong to another connection.
                raise NotConnected(function=function, detail="the controller is not open")
            self._calls += 1
        try:
            return api.call(function, handle, *args)
        finally:
            with self._state:
                self._calls -= 1
                if self._calls == 0:
                    self._state.notify_all()

    def wait_for_reports(self) -> None:
        """Waits until the controller has reported every axis since opening
        (the cached values are 0 until then), at most REPORT_SETTLE seconds
        after opening."""
        monitor = self.monitor
        generation = monitor.generation()
        while not monitor.all_reported() and not monitor.lost:
            remaining = self._opened_at + REPORT_SETTLE - time.monotonic()
            if remaining <= 0:
                return
            generation = monitor.wait_for_change(generation, remaining)

    def axis(self, number: int, *, scale: Optional[float] = None,
             unit: Optional[str] = None) -> Axis:
        """Axis number (0..5); the same object each time. scale and unit,
        when given, set the axis's unit (see Axis)."""
        axis = self._axes.setdefault(number, Axis(self, number))
        if scale is not None:
            axis.scale = scale
        if unit is not None:
            axis.unit = unit
        return axis

    @property
    def axes(self) -> Tuple[Axis, ...]:
        """All six axes."""
        return tuple(self.axis(number) for number in range(AXES))

    def stop_all(self) -> None:
        """Halts every axis (PositionerHaltAll: ends each approach, then
        stops it); at once, from any thread."""
        self.call("PositionerHaltAll")

    def move_all(self, targets: Mapping[int, float], timeout: Optional[float] = None,
                 tolerance: float = 0) -> Dict[int, float]:
        """Starts an absolute approach of every axis to its target
        ({axis number: target}, in each axis's unit), waits until all have
        arrived (see dravex._motion for the rule) and returns their positions.

        When any move fails (MoveTimeout, EndOfTravel, MoveStopped, a failing
        call, or any exception such as KeyboardInterrupt) every axis started
        is halted before the exception is raised."""
        return _moves.wait(self.move_group(targets, timeout, tolerance), self.monitor)

    def move_group(self, targets: Mapping[int, float], timeout: Optional[float] = None,
                   tolerance: float = 0) -> MoveGroup:
        """The absolute approaches of move_all, not yet started."""
        starts: List[Tuple[Axis, Start]] = []
        for number, target in targets.items():
            axis = self.axis(number)
            starts.append((axis, functools.partial(axis.start_move_to, target, timeout, 0,
                                                   tolerance)))
        return MoveGroup(starts)

    def __repr__(self) -> str:
        facts = [f"address {self.address}" if self.address is not None else None,
                 self.carrier,
                 f"hardware id {self.hardware_id}" if self.hardware_id is not None else None,
                 f"device {self.device}" if self.device is not None else None]
        named = ", ".join(fact for fact in facts if fact) or "any controller"
        state = f"handle {self._handle}" if self.is_open else "closed"
        return f"<dravex.Controller {named}, {state}>"
