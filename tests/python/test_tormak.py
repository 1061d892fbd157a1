"""The raw telegram channel over Ethernet against positioner-sim."""
import logging
import time

import pytest

import dravex
from dravex import NotConnected, ReplyTimeout, Telegram, tormak
from dravex import telegram as tg
from conftest import SIM_IDS, wait_for_records


def receive_ack(channel, address, timeout=3.0):
    """The next ACK of address, skipping the simulator's periodic TELLs."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            reply = channel.receive()
        except ReplyTimeout:
            continue
        if reply.opcode == tg.ACK and reply.address == address:
            return reply
    raise AssertionError(f"no ACK of register {address} within {timeout} s")


@pytest.fixture(scope="module")
def count(simulator):
    return tormak.find()


def test_find_counts_the_addp_replies(count):
    assert count == len(SIM_IDS)


def test_channel_sends_and_receives_telegrams(count):
    with tormak.Channel(0) as channel:
        assert channel.get_type() == 0x5000
        assert channel.get_id() in SIM_IDS
        channel.send(Telegram.set(1300, 5, -77))
        assert receive_ack(channel, 1300).value == -77
        channel.send(Telegram.get(1300, 5).pack())           # bytes work as well
        reply = receive_ack(channel, 1300)
        assert (reply.value, reply.index, reply.correlation, reply.reason) == (-77, 5, 1, 0)
        channel.resync()
        channel.send(Telegram.get(1300, 5))                   # usable after the drain
        assert receive_ack(channel, 1300).value == -77
        channel.cancel()                                      # nothing to do on Ethernet
        with pytest.raises(ValueError):
            channel.send(bytes(513))
    with pytest.raises(NotConnected):
        channel.receive()


def test_tormak_lines_arrive_in_logging(count, caplog):
    caplog.set_level(logging.DEBUG, logger="dravex")
    dravex.trace_to_logging(tormak=True)
    try:
        with tormak.Channel(0) as channel:
            channel.resync()
        wait_for_records(caplog, [lambda r: r.name == "dravex.tormak" and
                                  r.levelno == logging.DEBUG and "Sync finished" in r.message])
    finally:
        dravex.trace(on=False)
        tormak.trace(on=False)
