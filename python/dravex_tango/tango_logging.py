"""Python logging of the server (the link, the pusher, the library's trace
lines) into Tango's logging: the admin device's logger, so that its
LoggingLevel and logging targets (console, file, device) apply."""
from __future__ import annotations

import logging
import tango

from . import startup

class TangoLogHandler(logging.Handler):
    """Hands each record to the admin device's stream of its level."""

    def emit(self, record: logging.LogRecord) -> None:
        if not startup.is_running():
            return        # asking for the admin device during the start races with it
        try:
            admin = tango.Util.instance().get_dserver_device()
        except tango.DevFailed:
            return            # no admin device (the server is ending): Python's own handlers only
        if record.levelno >= logging.CRITICAL:
            stream = admin.fatal_stream
        elif record.levelno >= logging.ERROR:
            stream = admin.error_stream
        elif record.levelno >= logging.WARNING:
            stream = admin.warn_stream
        elif record.levelno >= logging.INFO:
            stream = admin.info_stream
        else:
            stream = admin.debug_stream
        try:
            stream(self.format(record))
        except Exception:  # logging must never end the caller
            self.handleError(record)


def install() -> None:
    """Adds the handler to the root logger; records of every level reach it,
    Tango's LoggingLevel chooses which are written."""
    handler = TangoLogHandler()
    handler.setFormatter(logging.Formatter("%(name)s: %(message)s"))
    root = logging.getLogger()
    root.addHandler(handler)
    root.setLevel(logging.DEBUG)
