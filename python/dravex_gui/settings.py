"""Per-controller settings: the scale and unit of each axis, in a small
JSON file under $XDG_CONFIG_HOME/dravex/ (default ~/.config/dravex/).

The scale and unit are handed to the dravex package's axis: a scale
multiplies the controller's value to give the shown one (for example 0.001
with unit "µm" for a controller counting nanometres); without a scale the
controller's own integers are shown.
"""
import dataclasses
import json
import math
import os
import re
from typing import Dict, Optional, Union

MAX_FILE_BYTES = 64 * 1024
MAX_UNIT_LENGTH = 16


@dataclasses.dataclass(frozen=True)
class AxisUnit:
    scale: Optional[float] = None  # None: the controller's integers
    unit: str = ""

    @property
    def decimals(self) -> int:
        """Decimals that show one controller unit."""
        if self.scale is None:
            return 0
        return max(0, min(9, -math.floor(math.log10(abs(self.scale)))))

    def shown(self, raw: int) -> Union[int, float]:
        """A controller value (position, speed) in this unit."""
        return raw if self.scale is None else raw * self.scale

    def format(self, value: Union[int, float]) -> str:
        """A value already in this unit, for display."""
        text = str(int(value)) if self.scale is None else f"{value:.{self.decimals}f}"
        return f"{text} {self.unit}".rstrip()

    def parse(self, text: str) -> Union[int, float]:
        """A typed position or distance; ValueError when it is none (the
        controller's units are whole numbers)."""
        text = text.strip().replace(",", ".")
        value = int(text) if self.scale is None else float(text)
        raw = value if self.scale is None else value / self.scale
        if not (math.isfinite(raw) and -2**31 <= raw < 2**31):
            raise ValueError(f"{text} is outside the controller's range")
        return value


def valid(scale: Optional[float], unit: str) -> bool:
    return (scale is None or (math.isfinite(scale) and scale != 0)) and len(unit) <= MAX_UNIT_LENGTH


def config_directory() -> str:
    base = os.environ.get("XDG_CONFIG_HOME") or os.path.join(os.path.expanduser("~"), ".config")
    return os.path.join(base, "dravex")


def settings_path(key: str) -> str:
    safe = re.sub(r"[^A-Za-z0-9_.-]", "_", key)[:64]
    return os.path.join(config_directory(), f"controller-{safe}.json")


def load_units(key: str) -> Dict[int, AxisUnit]:
    """The saved units of a controller; missing or broken entries give
    the defaults (a broken file must not keep the program from starting)."""
    try:
        with open(settings_path(key), encoding="utf-8") as file:
            data = json.loads(file.read(MAX_FILE_BYTES))
        axes = data["axes"]
    except (OSError, ValueError, KeyError, TypeError):
        return {}
    units: Dict[int, AxisUnit] = {}
    for name, entry in axes.items() if isinstance(axes, dict) else ():
        try:
            scale = None if entry["scale"] is None else float(entry["scale"])
            axis, unit = int(name), str(entry["unit"])
        except (ValueError, KeyError, TypeError):
            continue
        if 0 <= axis <= 5 and valid(scale, unit):
            units[axis] = AxisUnit(scale, unit)
    return units


def save_units(key: str, units: Dict[int, AxisUnit]) -> None:
    """Writes the file whole (through a temporary file, then renamed)."""
    path = settings_path(key)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    data = {"axes": {str(axis): {"scale": u.scale, "unit": u.unit}
                     for axis, u in sorted(units.items())}}
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as file:
        json.dump(data, file, indent=1)
    os.replace(temporary, path)
