"""The one place where the GUI meets the dravex package.

Everything here runs on a controller's worker thread (never on the GUI
thread). The rest of the GUI sees plain values: ControllerEntry rows,
AxisState snapshots and Target descriptions; it never imports dravex.
Parts of the package that may be missing in an older dravex (addressing,
decoded status, logging integration) are looked up here, with a fallback.
"""
import dataclasses
import logging
import os
import tempfile
import threading
from typing import Any, List, Optional, Tuple

import dravex

AXES = range(6)
LOGGER_NAME = "dravex"

# Bits of the controller's status word (register 1028) shown by the GUI.
MOVING, TARGET_REACHED, END_OF_TRAVEL, APPROACH_ACTIVE, REFERENCE_VALID = (
    0x001, 0x002, 0x100, 0x400, 0x800)
STATUS_FLAGS = (
    ("moving", MOVING), ("target reached", TARGET_REACHED), ("end of travel", END_OF_TRAVEL),
    ("reference valid", REFERENCE_VALID))

# Drive parameters: name -> (setter, querying getter, lowest, highest).
# The library checks amplitude and frequency; it gives the DC level no
# range, so the GUI offers the full signed 32-bit one.
DRIVE_PARAMETERS = {
    "amplitude": ("PositionerAmplitude", "PositionerGetAmplitude", 0, 140000),
    "frequency": ("PositionerFrequency", "PositionerGetFrequency", 0, 20000),
    "dc level": ("PositionerDCLevel", "PositionerGetDcLevel", -2**31, 2**31 - 1),
}

LibraryError = dravex.DravexError
NotConnected = dravex.errors.NotConnected
ReplyTimeout = dravex.errors.ReplyTimeout


@dataclasses.dataclass(frozen=True)
class ControllerEntry:
    """One row of the controller list."""
    hardware_id: Optional[int]
    carrier: str
    address: str
    devices: Tuple[int, ...]

    def target(self) -> "Target":
        if self.address:
            return Target(address=self.address, hardware_id=self.hardware_id)
        return Target(device=self.devices[0], hardware_id=self.hardware_id)


@dataclasses.dataclass(frozen=True)
class Target:
    """How to reach a controller again: by address, else by device number."""
    address: str = ""
    device: Optional[int] = None
    hardware_id: Optional[int] = None

    def describe(self) -> str:
        name = self.address or f"device {self.device}"
        return f"{name} (id {self.hardware_id})" if self.hardware_id not in (None, -1) else name

    def settings_key(self) -> str:
        """Name of the controller's settings file: its hardware id when
        known, else its address or device number."""
        if self.hardware_id not in (None, -1, 0):
            return f"id-{self.hardware_id}"
        return self.address or f"device-{self.device}"


@dataclasses.dataclass(frozen=True)
class AxisState:
    """What the controller last reported for one axis (raw units)."""
    position: int
    status: int
    speed: int

    def flag(self, bit: int) -> bool:
        return bool(self.status & bit)


def can_open_by_address() -> bool:
    return _supports_keyword("address")


def scan_while_open_is_safe() -> bool:
    """Only the addressing version of the library keeps open handles
    intact across a scan."""
    return can_open_by_address()


def _supports_keyword(name: str) -> bool:
    import inspect
    try:
        return name in inspect.signature(dravex.Controller).parameters
    except (TypeError, ValueError):
        return False


def find_controllers() -> List[ControllerEntry]:
    """Scans and returns one row per controller."""
    rows: List[ControllerEntry] = []
    for info in dravex.find_controllers():
        devices = getattr(info, "devices", None) or getattr(info, "device_numbers", None)
        if devices is None:
            devices = (info.device,)
            if not getattr(info, "available", True):
                continue
        hardware_id = getattr(info, "hardware_id", None)
        rows.append(ControllerEntry(
            hardware_id=hardware_id, carrier=str(getattr(info, "carrier", "") or ""),
            address=str(getattr(info, "address", "") or ""), devices=tuple(devices)))
    return rows


def open_controller(target: Target) -> Any:
    """An open dravex.Controller for the target."""
    if target.address:
        if not can_open_by_address():
            raise LibraryError(-1, "open", "this dravex package cannot open a controller by "
                                           "address; scan and pick it from the list")
        controller = dravex.Controller(address=target.address)
    else:
        controller = dravex.Controller(device=target.device)
    return controller.open()


def close_controller(controller: Any) -> None:
    controller.close()


def read_axes(controller: Any) -> Tuple[AxisState, ...]:
    """Cached values only: these calls never wait for the controller."""
    return tuple(AxisState(controller.call("PositionerGetPosition", axis),
                           controller.call("PositionerGetStatus", axis),
                           controller.call("PositionerGetSpeed", axis)) for axis in AXES)


def move_absolute(controller: Any, axis: int, target: int) -> None:
    controller.call("PositionerMoveAbsolute", axis, target, 0)


def move_relative(controller: Any, axis: int, distance: int) -> None:
    controller.call("PositionerMoveRelative", axis, distance, 0)


def step(controller: Any, axis: int, forward: bool) -> None:
    controller.call("PositionerMoveSingleStep", axis, 1 if forward else 0)


def jog(controller: Any, axis: int, forward: bool) -> None:
    controller.call("PositionerMoveContinuous", axis, 1 if forward else 0)


def stop(controller: Any, axis: int) -> None:
    controller.call("PositionerStopMoving", axis)


def set_output(controller: Any, axis: int, enable: bool) -> None:
    controller.call("PositionerSetOutput", axis, enable)


def set_parameter(controller: Any, axis: int, name: str, value: int) -> None:
    controller.call(DRIVE_PARAMETERS[name][0], axis, value)


def read_parameters(controller: Any, axis: int) -> Tuple[int, ...]:
    """Asks the controller; each value may take up to 10 s to arrive."""
    return tuple(controller.call(getter, axis) for _, getter, _, _ in DRIVE_PARAMETERS.values())


def load_configuration(controller: Any, axis: int, path: str) -> None:
    controller.call("PositionerLoad", axis, path)


def sentence(error: BaseException, action: str) -> str:
    """One sentence: what failed and what to do."""
    if isinstance(error, NotConnected):
        advice = "check the cable or network and reconnect"
    elif isinstance(error, ReplyTimeout):
        advice = "the controller did not answer; check that it is powered and try again"
    elif isinstance(error, dravex.errors.InvalidParameter):
        advice = "check the value or the file"
    else:
        advice = "see the log for details"
    return f"{action} failed ({error}); {advice}."


class _TraceFileTail(threading.Thread):
    """Fallback for a dravex without logging integration: the library
    traces into a file, and this thread passes its new lines to logging."""

    def __init__(self, path: str, logger: logging.Logger) -> None:
        super().__init__(name="dravex-trace-tail", daemon=True)
        self.path, self.logger = path, logger
        self.stopping = threading.Event()

    def run(self) -> None:
        offset, pending = 0, b""
        while not self.stopping.wait(0.2):
            try:
                with open(self.path, "rb") as file:
                    if os.fstat(file.fileno()).st_size < offset:  # a new trace set-up truncated it
                        offset, pending = 0, b""
                    file.seek(offset)
                    data = file.read(1 << 20)
            except OSError:
                continue
            offset += len(data)
            lines = (pending + data).split(b"\n")
            pending = lines.pop()
            for raw in lines:
                text = raw.decode("utf-8", "replace").rstrip()
                if text:
                    self.logger.log(logging.ERROR if "error" in text.lower() else logging.DEBUG,
                                    "%s", text)


class LibraryLog:
    """Routes the library's trace lines to logging.getLogger("dravex")."""

    def __init__(self) -> None:
        self._lock = threading.Lock()  # started from the scan and the worker threads
        self._tail: Optional[_TraceFileTail] = None
        self._directory: Optional[tempfile.TemporaryDirectory] = None  # type: ignore[type-arg]

    def start(self) -> None:
        """(Again) after every scan: a scan resets the library's tracing."""
        with self._lock:
            self._start()

    def _start(self) -> None:
        route = getattr(dravex, "log_to_logging", None) or getattr(dravex, "route_to_logging", None)
        if route is not None:
            route()
            return
        if self._directory is None:
            self._directory = tempfile.TemporaryDirectory(prefix="dravex-gui-")
            path = os.path.join(self._directory.name, "trace.log")
            open(path, "wb").close()
            self._tail = _TraceFileTail(path, logging.getLogger(LOGGER_NAME))
            self._tail.start()
        assert self._tail is not None
        # Trace lines only (no telegrams), flushed after each line.
        dravex.trace(True, log_file=self._tail.path, flags=0x006, prefix="")

    def stop(self) -> None:
        with self._lock:
            self._stop()

    def _stop(self) -> None:
        if self._tail is not None:
            self._tail.stopping.set()
            self._tail.join(1.0)
            self._tail = None
        if self._directory is not None:
            self._directory.cleanup()
            self._directory = None
