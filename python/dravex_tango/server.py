"""The entry points positioner-tango and PositionerDS (the server's name,
which Tango's Starter launches): run the device server PositionerDS."""
from __future__ import annotations

import logging
import os
import sys
from typing import Optional, Sequence

from tango.server import run

from . import _dravex, shutdown, startup, tango_logging
from .controller_device import PositionerController
from .device import PositionerAxis, close_controllers, halt_moves

SERVER_NAME = "PositionerDS"


def main(args: Optional[Sequence[str]] = None) -> int:
    """positioner-tango INSTANCE [Tango server options]"""
    args = sys.argv[1:] if args is None else list(args)
    if not args or args[0].startswith("-"):
        print(f"usage: {os.path.basename(sys.argv[0])} INSTANCE [Tango server options, e.g. -v4]\n"
              f"Runs the Tango device server {SERVER_NAME}/INSTANCE (device classes "
              "PositionerAxis, PositionerController); TANGO_HOST names the Tango database.",
              file=sys.stderr)
        return 2
    logging.basicConfig(level=logging.INFO, format="%(asctime)s %(name)s %(levelname)s %(message)s")
    logging.getLogger().handlers[0].setLevel(logging.INFO)   # the console: INFO and above
    tango_logging.install()
    _dravex.route_trace_to_logging()
    shutdown.install(halt_moves, close_controllers)
    run((PositionerAxis, PositionerController), args=[SERVER_NAME] + args,
        post_init_callback=startup.running)
    return 0
