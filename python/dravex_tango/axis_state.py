"""The Tango state and status text of one axis, from what its controller
reported and what the device knows itself."""
from __future__ import annotations

from typing import Any, Optional, Tuple

from tango import DevState

from ._dravex import Status
from .link import LinkStatus


def axis_state(axis: int, link_status: LinkStatus, flags: Optional[Status], output_on: bool,
               move_pending: bool) -> Tuple[Any, str]:
    """(DevState, status text) of the axis, from the state of its link, the
    decoded status of its last report (None before the first one), its
    output and whether a move was just started.

    In order: INIT before the controller was first reached, FAULT while it
    is not open, DISABLE while the output is off, MOVING while the axis
    moves (or a move was just started and the controller has not reported
    it yet), ALARM at the end of travel, ON otherwise.
    """
    if not link_status.up:
        if link_status.opening:
            return DevState.INIT, link_status.reason + "."
        return DevState.FAULT, link_status.reason + "."
    if flags is None:
        return DevState.INIT, f"Waiting for the first report of axis {axis}."
    where = f"Axis {axis}"
    if not output_on:
        return DevState.DISABLE, f"{where}: its output is off (write Output to switch it on)."
    if flags.moving or move_pending:
        return DevState.MOVING, f"{where} is moving."
    if flags.end_of_travel:
        return DevState.ALARM, f"{where} stopped at the end of travel; move it back."
    if flags.target_reached:
        return DevState.ON, f"{where} stands at its target."
    return DevState.ON, f"{where} stands."
