"""Per-controller settings: the scale and unit of each axis, in a small
JSON file under $XDG_CONFIG_HOME/dravex/ (default ~/.config/dravex/).

A scale multiplies the controller's value to give the shown one (for
example 0.001 with unit "µm" for a controller counting nanometres); the
default scale 1 and an empty unit show the controller's own values.
"""
import dataclasses
import json
import math
import os
import re
from typing import Dict

MAX_FILE_BYTES = 64 * 1024
MAX_UNIT_LENGTH = 16


@dataclasses.dataclass(frozen=True)
class AxisUnit:
    scale: float = 1.0
    unit: str = ""

    def to_display(self, raw: int) -> float:
        return raw * self.scale

    def to_raw(self, shown: float) -> int:
        """The controller value of a shown one; ValueError outside int32."""
        raw = round(shown / self.scale)
        if not -2**31 <= raw < 2**31:
            raise ValueError(f"{shown} {self.unit} is outside the controller's range")
        return raw

    def format(self, raw: int) -> str:
        if self.scale == 1.0:
            text = str(raw)
        else:
            decimals = max(0, min(9, -math.floor(math.log10(abs(self.scale)))))
            text = f"{self.to_display(raw):.{decimals}f}"
        return f"{text} {self.unit}".rstrip()


def valid(scale: float, unit: str) -> bool:
    return math.isfinite(scale) and scale != 0 and len(unit) <= MAX_UNIT_LENGTH


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
            axis, scale, unit = int(name), float(entry["scale"]), str(entry["unit"])
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
