"""The server's start: what waits until Tango has initialised every device.

While Tango initialises the devices (server_init: the devices, their
dynamic attributes, then the writes of memorized values, each under its
device's monitor), a delivery that takes a device monitor can keep the
start waiting until the monitor's time-out (3.2 s); the server then exits
("Not able to acquire serialization monitor"). So deliveries to devices,
and log records to Tango's logging (asking for the admin device races with
the start), begin only once the server runs: the post-init callback,
running().
"""
from __future__ import annotations

import threading
from typing import Callable, List

_lock = threading.Lock()
_running = False
_waiting: List[Callable[[], None]] = []


def when_running(action: Callable[[], None]) -> None:
    """Runs action now when the server runs, else once it does."""
    with _lock:
        if not _running:
            _waiting.append(action)
            return
    action()


def is_running() -> bool:
    return _running


def running() -> None:
    """The server's post-init callback: runs what waited for the start."""
    global _running
    with _lock:
        _running = True
        waiting = list(_waiting)
        _waiting.clear()
    for action in waiting:
        action()
