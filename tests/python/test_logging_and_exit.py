"""Library trace lines in logging; a script that ends with a controller
open ends cleanly."""
import logging
import os
import subprocess
import sys
import time

import pytest

import dravex
from conftest import SIM_ADDRESSES, wait_for_records


def test_trace_lines_arrive_in_logging(simulator, caplog, capfd):
    caplog.set_level(logging.DEBUG, logger="dravex")
    dravex.trace_to_logging(flags=0x004 | 0x020)              # trace lines, received telegrams
    try:
        with dravex.Controller(address=SIM_ADDRESSES[0]) as controller:
            controller.axis(0).amplitude
        with pytest.raises(dravex.NotConnected):
            dravex.Controller(address="127.0.0.99").open()    # nothing listens there
        records = wait_for_records(caplog, [
            lambda r: r.levelno == logging.DEBUG and "UC recv: ACK" in r.message,
            lambda r: r.levelno == logging.ERROR and "127.0.0.99" in r.message])
    finally:
        dravex.trace(on=False)
    assert all(r.message.startswith(("ERROR:", "FATAL:")) == (r.levelno == logging.ERROR)
               for r in records)
    out, err = capfd.readouterr()
    assert "127.0.0.99" not in out + err                       # in logging only


@pytest.mark.parametrize("routing", ["", "dravex.trace_to_logging(); logging.basicConfig()"])
def test_script_ending_with_an_open_controller_prints_nothing(simulator, routing):
    script = f"""
import logging
import dravex
{routing}
controller = dravex.Controller(address={SIM_ADDRESSES[0]!r}).open()
controller.axis(0).amplitude
"""
    started = time.monotonic()
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          timeout=20)
    assert (done.returncode, done.stdout, done.stderr) == (0, "", "")
    # The exit waits at most 2 s for receive loops; sanitizer builds start
    # and stop far more slowly on a loaded machine.
    assert time.monotonic() - started < (15 if os.environ.get("UC_SANITIZED") else 5)
