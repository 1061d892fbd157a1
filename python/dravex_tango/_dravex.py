"""Everything the server takes from the dravex package, in one place.

The rest of the server calls only these names: opening a controller by
address or hardware id, the decoded status, the one rule for when a move
has ended, the one-sentence text of a library error, routing the
library's trace lines into logging, and the value range the library checks
for a setter.
"""
from __future__ import annotations

from typing import Optional

import dravex
from dravex import DravexError, NotConnected, Status
from dravex._motion import DEFAULT_MOVE_TIMEOUT, REPORT_SETTLE, Outcome, Sample, move_outcome
from dravex.monitor import AXES, Snapshot
from dravex.ranges import limits as setter_range

__all__ = ["AXES", "DEFAULT_MOVE_TIMEOUT", "DravexError", "NotConnected", "Outcome",
           "REPORT_SETTLE", "Sample", "Snapshot", "Status", "decode_status", "describe_error",
           "move_outcome", "open_controller", "route_trace_to_logging", "setter_range"]


def open_controller(address: Optional[str] = None,
                    hardware_id: Optional[int] = None) -> dravex.Controller:
    """Opens the controller at a network address (no scan), or the one with
    that hardware id (found by a scan); returns the open dravex.Controller."""
    if address is not None:
        return dravex.Controller(address=address).open()
    return dravex.Controller(hardware_id=hardware_id).open()


def decode_status(packed: int) -> Status:
    """The packed status as a dravex.Status (moving, target_reached,
    end_of_travel, approach_active)."""
    return dravex.Status(packed)


def describe_error(error: BaseException) -> str:
    """The text of a library error: the call, the result and the library's
    sentence for it (PositionerResultText): what failed and what to do."""
    return str(error)


def route_trace_to_logging() -> None:
    """Sends the library's trace lines to logging.getLogger("dravex"):
    error lines as ERROR, trace lines as DEBUG. Call it before any
    controller is opened."""
    dravex.trace_to_logging()
