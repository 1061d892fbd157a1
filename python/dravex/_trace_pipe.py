"""A pipe the library writes its trace lines into, read line by line by a
thread of this package.

The library opens the pipe by a path, as it would open a log file:
/dev/fd/N of an anonymous pipe on Linux and other POSIX systems, a named
pipe \\\\.\\pipe\\dravex-trace-PID-N on Windows. The reader ends when the
library closes its end (tracing switched elsewhere or off).
"""
from __future__ import annotations

import itertools
import os
import sys
import threading
from typing import Callable

LineHandler = Callable[[str], None]
_numbers = itertools.count(1)


def _decode(raw: bytes) -> str:
    return raw.decode("utf-8", "replace").rstrip("\r\n")


if sys.platform == "win32":
    import ctypes
    from ctypes import wintypes

    _kernel32 = ctypes.WinDLL("kernel32", use_last_error=True)
    _kernel32.CreateNamedPipeW.argtypes = [wintypes.LPCWSTR, wintypes.DWORD, wintypes.DWORD,
                                           wintypes.DWORD, wintypes.DWORD, wintypes.DWORD,
                                           wintypes.DWORD, ctypes.c_void_p]
    _kernel32.CreateNamedPipeW.restype = wintypes.HANDLE
    _kernel32.ConnectNamedPipe.argtypes = [wintypes.HANDLE, ctypes.c_void_p]
    _kernel32.ConnectNamedPipe.restype = wintypes.BOOL
    _kernel32.ReadFile.argtypes = [wintypes.HANDLE, ctypes.c_void_p, wintypes.DWORD,
                                   ctypes.POINTER(wintypes.DWORD), ctypes.c_void_p]
    _kernel32.ReadFile.restype = wintypes.BOOL
    _kernel32.CreateFileW.argtypes = [wintypes.LPCWSTR, wintypes.DWORD, wintypes.DWORD,
                                      ctypes.c_void_p, wintypes.DWORD, wintypes.DWORD,
                                      wintypes.HANDLE]
    _kernel32.CreateFileW.restype = wintypes.HANDLE
    _kernel32.CloseHandle.argtypes = [wintypes.HANDLE]
    _kernel32.CloseHandle.restype = wintypes.BOOL
    _INVALID_HANDLE = wintypes.HANDLE(-1).value
    _PIPE_ACCESS_INBOUND, _PIPE_TYPE_BYTE_WAIT, _BUFFER = 0x1, 0x0, 65536
    _GENERIC_WRITE, _OPEN_EXISTING = 0x40000000, 3

    class TracePipe:
        """A named pipe with one instance; the library connects as its client."""

        def __init__(self, on_line: LineHandler) -> None:
            self.path = rf"\\.\pipe\dravex-trace-{os.getpid()}-{next(_numbers)}"
            self._on_line = on_line
            self._handle = _kernel32.CreateNamedPipeW(self.path, _PIPE_ACCESS_INBOUND,
                                                      _PIPE_TYPE_BYTE_WAIT, 1, 0, _BUFFER, 0,
                                                      None)
            if self._handle in (None, _INVALID_HANDLE):
                raise ctypes.WinError(ctypes.get_last_error())
            self._thread = threading.Thread(target=self._read, name="dravex-trace", daemon=True)
            self._thread.start()

        def _read(self) -> None:
            # Returns false with ERROR_PIPE_CONNECTED when the client came
            # first; either way the pipe is connected, or broken, after it.
            _kernel32.ConnectNamedPipe(self._handle, None)
            buffer = ctypes.create_string_buffer(4096)
            count = wintypes.DWORD()
            pending = b""
            while _kernel32.ReadFile(self._handle, buffer, len(buffer), ctypes.byref(count),
                                     None) and count.value:
                pending += buffer.raw[:count.value]
                *lines, pending = pending.split(b"\n")
                for line in lines:
                    self._on_line(_decode(line))
            if pending:
                self._on_line(_decode(pending))
            _kernel32.CloseHandle(self._handle)

        def opened(self) -> None:
            """Called once the library has opened the pipe."""

        def abandon(self) -> None:
            """The library did not open the pipe: connect and leave, so that
            the reader ends."""
            client = _kernel32.CreateFileW(self.path, _GENERIC_WRITE, 0, None, _OPEN_EXISTING, 0,
                                           None)
            if client not in (None, _INVALID_HANDLE):
                _kernel32.CloseHandle(client)

        def join(self, timeout: float) -> bool:
            """Waits for the reader to end; True when it has."""
            self._thread.join(timeout)
            return not self._thread.is_alive()

else:
    class TracePipe:
        """An anonymous pipe; the library opens /dev/fd/N of its write end."""

        def __init__(self, on_line: LineHandler) -> None:
            read_fd, self._write_fd = os.pipe()
            self.path = f"/dev/fd/{self._write_fd}"
            self._on_line = on_line
            self._thread = threading.Thread(target=self._read, args=(read_fd,),
                                            name="dravex-trace", daemon=True)
            self._thread.start()

        def _read(self, read_fd: int) -> None:
            with os.fdopen(read_fd, "rb") as stream:
                for line in stream:
                    self._on_line(_decode(line))

        def _close_write_end(self) -> None:
            if self._write_fd >= 0:
                os.close(self._write_fd)
                self._write_fd = -1

        def opened(self) -> None:
            """Called once the library has opened the pipe: from then on its
            end is the only one, and its closing ends the reader."""
            self._close_write_end()

        def abandon(self) -> None:
            """The library did not open the pipe: the reader ends."""
            self._close_write_end()

        def join(self, timeout: float) -> bool:
            """Waits for the reader to end; True when it has."""
            self._thread.join(timeout)
            return not self._thread.is_alive()
