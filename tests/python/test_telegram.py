"""Byte layout of dravex.Telegram."""
import struct

import pytest

from dravex import Telegram
from dravex import telegram as tg


def test_requests_have_the_wire_layout():
    # GET of register 359, index 0, correlation number 1.
    assert Telegram.get(359).pack() == bytes.fromhex(
        "10000000" "01000000" "67010000" "00000000" "01000000")
    sync = Telegram.set(10, 0, -2).pack()
    assert len(sync) == 24
    assert struct.unpack("<6i", sync) == (20, tg.SET, 10, 0, 0, -2)
    assert bytes(Telegram.set(1024, 3, 140000)) == Telegram.set(1024, 3, 140000).pack()


def test_replies_are_read_from_a_receive_buffer():
    ack = struct.pack("<7i", 24, tg.ACK, 0x400, 2, 1, 0, 30000)
    buffer = ack + b"\xa5" * (512 - len(ack))  # the rest of a receive buffer is ignored
    reply = Telegram.unpack(buffer)
    assert (reply.opcode, reply.address, reply.index, reply.correlation) == (tg.ACK, 0x400, 2, 1)
    assert (reply.reason, reply.value, reply.length) == (0, 30000, 24)

    tell = Telegram.unpack(struct.pack("<6i", 20, tg.TELL, 1045, 5, 0, -123))
    assert (tell.value, tell.reason) == (-123, None)

    largest = Telegram(tg.TELL, 1, 0, 0, tuple(range(tg.MAX_DATA_WORDS)))
    assert largest.length == 508 and len(largest.pack()) == 512
    assert Telegram.unpack(largest.pack()) == largest


@pytest.mark.parametrize("raw", [
    b"\x10\x00\x00",                                   # shorter than a header
    struct.pack("<5i", 509, tg.ACK, 1, 0, 0) + bytes(492),  # announces 513 bytes
    struct.pack("<5i", 15, tg.ACK, 1, 0, 0),           # length below the header
    struct.pack("<6i", 24, tg.ACK, 1, 0, 1, 0),        # cut off before the value
])
def test_malformed_bytes_are_refused(raw):
    with pytest.raises(ValueError):
        Telegram.unpack(raw)


def test_unpackable_telegrams_are_refused():
    with pytest.raises(ValueError):
        Telegram(tg.SET, 1, 0, 0, tuple(range(124))).pack()
    with pytest.raises(ValueError):
        Telegram.set(1024, 0, 2**31).pack()


def test_text_matches_the_trace_format():
    assert [Telegram(op, 0).name for op in range(8)] == [
        "SET ", "GET ", "DO  ", "ACK ", "TELL", "STAT", "CHRQ", "!!!7!!!"]
    reply = Telegram(tg.ACK, 0x2A, 0, (2 << 16) | 5, (0, 255))
    assert str(reply) == "ACK  Len=24 Addr=2a Ind=0 CNo=2-5 0 ff"
