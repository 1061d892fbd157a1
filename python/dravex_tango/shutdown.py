"""A clean end on SIGTERM or SIGINT: the axes the server set moving are
halted, every controller is closed, and the process exits with status 0.

The main thread runs inside the ORB, where a Python signal handler never
runs; the interpreter's C handler still writes the signal's number to a
wake-up socket (signal.set_wakeup_fd), which a thread of this module reads.
"""
from __future__ import annotations

import logging
import os
import signal
import socket
import threading
from typing import Callable

log = logging.getLogger(__name__)
SIGNALS = (signal.SIGTERM, signal.SIGINT)


def install(halt_moving: Callable[[], None], close_all: Callable[[], None]) -> None:
    """From the main thread, before the server starts: on a signal,
    halt_moving() halts the moves the server started, close_all() closes
    every controller, and the process exits."""
    reader, writer = socket.socketpair()
    writer.setblocking(False)
    for number in SIGNALS:
        signal.signal(number, lambda *_: None)   # the number reaches the wake-up socket
    signal.set_wakeup_fd(writer.fileno(), warn_on_full_buffer=False)
    threading.Thread(target=_wait, args=(reader, writer, halt_moving, close_all),
                     name="shutdown", daemon=True).start()


def _wait(reader: socket.socket, writer: socket.socket, halt_moving: Callable[[], None],
          close_all: Callable[[], None]) -> None:
    number = reader.recv(1)[0]
    log.info("%s: halting the moves started here and closing the controllers",
             signal.Signals(number).name)
    status = 0
    for step in (halt_moving, close_all):
        try:
            step()
        except Exception:  # the other step, and the exit, still happen
            log.exception("shutting down")
            status = 1
    logging.shutdown()
    os._exit(status)
