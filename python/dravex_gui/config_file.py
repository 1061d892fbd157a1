"""Reading an axis configuration file before the library loads it, to
tell the user which pairs the controller will not receive.

The library reads whitespace-separated keyword/value pairs, sends the
known keywords and drops the rest silently; this check lists what it
drops, with line numbers.
"""
import re
from typing import List, Tuple

MAX_FILE_BYTES = 1 << 20
# The keywords the library sends to the controller.
KEYWORDS = frozenset((
    "poslooprange", "speedgain", "adaptsetpctrl", "actoroffset", "actorgain", "maxampl",
    "sensordir", "period", "amplctrlavg", "targetctrlavg", "amplctrlsensitivity",
    "targetctrlsensitivity", "slowspeed", "actordir", "transfertype", "positionmin",
    "positionmax", "transfergain", "singlecircle", "maxfrequ", "rotary", "humpenable", "frequ",
    "sensorunit", "sensoravg", "amplctrl", "targetrange", "targettime", "refoffset"))
_INTEGER = re.compile(r"[+-]?[0-9]+\Z")


def check(path: str) -> Tuple[int, List[str]]:
    """(number of pairs that will be sent, one message per skipped pair).
    OSError when the file cannot be read; ValueError when it is too large."""
    with open(path, "rb") as file:
        data = file.read(MAX_FILE_BYTES + 1)
    if len(data) > MAX_FILE_BYTES:
        raise ValueError(f"{path} is larger than {MAX_FILE_BYTES} bytes")
    tokens = [(number, token) for number, line in enumerate(data.decode("latin-1").splitlines(), 1)
              for token in line.split()]
    sent, skipped = 0, []
    for (line, keyword), value in zip(tokens[0::2], tokens[1::2] + [None]):
        if value is None:
            skipped.append(f"line {line}: '{keyword}' has no value")
        elif keyword not in KEYWORDS:
            skipped.append(f"line {line}: unknown keyword '{keyword}'")
        elif not (_INTEGER.match(value[1]) and -2**31 <= int(value[1]) < 2**31):
            skipped.append(f"line {value[0]}: '{value[1]}' is not a 32-bit whole number")
        else:
            sent += 1
    return sent, skipped
