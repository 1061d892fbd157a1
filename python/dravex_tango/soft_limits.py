"""The software limits of an axis, in controller units: which targets and
directions a move may take, and when a move without a target has reached
a limit. Plain Python, no Tango."""
from __future__ import annotations

import math
from typing import Optional


class SoftLimits:
    """low and high in controller units (math.inf-sized where unset)."""

    def __init__(self, low: float = -math.inf, high: float = math.inf) -> None:
        self.low, self.high = low, high

    @classmethod
    def from_user(cls, low: Optional[float], high: Optional[float], scale: float,
                  offset: float = 0.0) -> SoftLimits:
        """From limits in the unit of Position (None: unset), the axis's
        Scale and Offset (user = raw * scale + offset; a negative scale
        swaps the ends)."""
        user = (-math.inf if low is None else low, math.inf if high is None else high)
        if user[0] > user[1]:
            raise ValueError(f"the lower limit {user[0]:g} is above the upper {user[1]:g}")
        ends = [(end - offset) / scale for end in user]
        return cls(min(ends), max(ends))

    def allows_target(self, raw: int) -> bool:
        return self.low <= raw <= self.high

    def allows_direction(self, position: int, sign: int) -> bool:
        """A move from position toward sign (+1, -1) stays inside."""
        return position < self.high if sign > 0 else position > self.low

    def reached(self, position: int, sign: int) -> bool:
        """A move toward sign has reached (or passed) the limit that way."""
        return not self.allows_direction(position, sign)
