"""Raw telegram channel of libtormak.

    from dravex import tormak, Telegram
    if tormak.find():
        with tormak.Channel(0) as channel:
            channel.send(Telegram.get(1025, 0))
            reply = channel.receive()

The first find() chooses the carrier for the whole process (USB first,
then Ethernet by ADDP discovery). One thread may receive on a channel
while another sends; find(), opening and closing must not run while any
other call is in progress.
"""
from __future__ import annotations

import ctypes
from typing import Any, Optional, Union

from . import _binding
from . import _tracing
from ._closing import ClosedOnExit
from ._library import PathLike, load_library
from .errors import NotConnected, check
from .telegram import MAX_SIZE, Telegram

DEFAULT_FLAGS = 0x1FC  # trace lines and every telegram category

SIGNATURES = {
    "TMK_presence": "Ib",
    "TMK_init": "iI",
    "TMK_shutdown": "i",
    "TMK_getType": "iI",
    "TMK_getId": "iI",
    "TMK_send": "iip",
    "TMK_recv": "iiw",
    "TMK_cancelIo": "i",
    "TMK_startSync": "i",
}


def load(path: Optional[PathLike] = None) -> ctypes.CDLL:
    """Loads libtormak (explicit path, TORMAK_LIBRARY, the package's
    directory, the system loader) and returns it."""
    lib = load_library("tormak", path)
    if not getattr(lib, "_tormak_bound", False):
        _binding.bind(lib, SIGNATURES, ctypes.c_int)
        setattr(lib, "_tormak_bound", True)
    return lib


def _call(name: str, *inputs: Any) -> Any:
    return _binding.call(load(), SIGNATURES, name, *inputs)


def trace(on: bool = True, log_file: Optional[PathLike] = None, flags: int = DEFAULT_FLAGS,
          prefix: str = "") -> None:
    """Switches the trace output of libtormak (which writes error lines and
    no telegram lines)."""
    _tracing.configure(load(), on, log_file, flags, prefix)


def find(with_variant: bool = False) -> int:
    """Counts the controllers (choosing the carrier on first success);
    0 when none answers."""
    try:
        count: int = _call("TMK_presence", with_variant)
        return count
    except NotConnected:  # nothing found on either carrier
        return 0


class Channel(ClosedOnExit):
    """One open controller of the last find(), as a context manager."""

    def __init__(self, device: int = 0) -> None:
        self.device = device
        self._handle: Optional[int] = None

    def open(self) -> "Channel":
        if self._handle is None:
            self._handle = _call("TMK_init", self.device)
        return self

    def close(self) -> None:
        handle, self._handle = self._handle, None
        if handle is not None:
            _call("TMK_shutdown", handle)

    def __enter__(self) -> "Channel":
        return self.open()

    def _require_handle(self, function: str) -> int:
        if self._handle is None:
            raise NotConnected(function=function, detail="the channel is not open")
        return self._handle

    def send(self, telegram: Union[Telegram, bytes]) -> None:
        """Sends a Telegram, or bytes holding one whole telegram."""
        data = telegram.pack() if isinstance(telegram, Telegram) else bytes(telegram)
        if not 0 < len(data) <= MAX_SIZE:
            raise ValueError(f"a telegram has 1..{MAX_SIZE} bytes, not {len(data)}")
        handle = self._require_handle("TMK_send")
        check(load().TMK_send(handle, len(data), data), "TMK_send")

    def receive(self) -> Telegram:
        """The next telegram. ReplyTimeout when nothing came within the
        carrier's wait (about 500 ms); OutOfSync when the stream lost
        framing (it is resynchronised then; receive again)."""
        handle = self._require_handle("TMK_recv")
        buffer = ctypes.create_string_buffer(MAX_SIZE)
        check(load().TMK_recv(handle, MAX_SIZE, buffer), "TMK_recv")
        return Telegram.unpack(buffer.raw)

    def get_type(self) -> int:
        value: int = _call("TMK_getType", self._require_handle("TMK_getType"))
        return value

    def get_id(self) -> int:
        value: int = _call("TMK_getId", self._require_handle("TMK_getId"))
        return value

    def cancel(self) -> None:
        """Abandons pending I/O (USB; close() is still needed). Ethernet: nothing."""
        _call("TMK_cancelIo", self._require_handle("TMK_cancelIo"))

    def resync(self) -> None:
        """Resynchronises an Ethernet stream (about 0.5 to 2 s)."""
        _call("TMK_startSync", self._require_handle("TMK_startSync"))

    @property
    def handle(self) -> Optional[int]:
        return self._handle
