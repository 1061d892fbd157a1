"""The decoded status of an axis.

PositionerGetStatus packs four flags of the controller's status word into
the low bits of one integer; the constants below are those bits, with the
names and meanings of the POSITIONER_STATUS_* constants of positioner.h
(and of the command line's status column). Whether the reference position
is valid is reported separately (PositionerGetReference) and kept beside
them.
"""
from __future__ import annotations

import dataclasses
import enum


class StatusFlag(enum.IntFlag):
    """Bits of the packed status (status-word bit in brackets)."""
    MOVING = 0x1            # the axis is moving (bit 0)
    TARGET_REACHED = 0x2    # the last absolute or relative move arrived at its target (bit 1)
    END_OF_TRAVEL = 0x4     # the axis stands at an end of its travel range (bit 8)
    APPROACH_ACTIVE = 0x8   # an absolute approach is on (bit 10)


STATUS_MOVING = StatusFlag.MOVING
STATUS_TARGET_REACHED = StatusFlag.TARGET_REACHED
STATUS_END_OF_TRAVEL = StatusFlag.END_OF_TRAVEL
STATUS_APPROACH_ACTIVE = StatusFlag.APPROACH_ACTIVE

_TEXTS = ((StatusFlag.MOVING, "moving"), (StatusFlag.TARGET_REACHED, "target reached"),
          (StatusFlag.END_OF_TRAVEL, "end of travel"),
          (StatusFlag.APPROACH_ACTIVE, "approach active"))


@dataclasses.dataclass(frozen=True)
class Status:
    """What the controller last reported about an axis (immutable).

    packed is the value of PositionerGetStatus; the properties decode it."""
    packed: int
    reference_valid: bool = False

    @property
    def flags(self) -> StatusFlag:
        return StatusFlag(self.packed & 0xF)

    @property
    def moving(self) -> bool:
        """The axis is moving."""
        return bool(self.packed & StatusFlag.MOVING)

    @property
    def target_reached(self) -> bool:
        """The last absolute or relative move arrived at its target."""
        return bool(self.packed & StatusFlag.TARGET_REACHED)

    @property
    def end_of_travel(self) -> bool:
        """The axis stands at an end of its travel range."""
        return bool(self.packed & StatusFlag.END_OF_TRAVEL)

    @property
    def approach_active(self) -> bool:
        """An absolute approach (move_to) is on."""
        return bool(self.packed & StatusFlag.APPROACH_ACTIVE)

    def __str__(self) -> str:
        """"moving, approach active", or "idle", as the command line shows it."""
        words = [text for flag, text in _TEXTS if self.packed & flag]
        if self.reference_valid:
            words.append("reference valid")
        return ", ".join(words) or "idle"

    def __repr__(self) -> str:
        return f"<Status 0x{self.packed:X}: {self}>"
