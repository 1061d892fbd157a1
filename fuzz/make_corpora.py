#!/usr/bin/env python3
"""Writes the seed corpora of the receive-path fuzz targets into
fuzz/corpus/<target>/: a handful of meaningful inputs each, in the input
format that the harness describes at its top. Run it again after changing
a format; the files are committed."""
import os
import struct
import sys

SET, GET, ACK, TELL, STAT = 0, 1, 3, 4, 5


def tel(opcode, address, index=0, corr=0, words=(), length=None):
    body = struct.pack("<4i", opcode, address, index, corr) + b"".join(struct.pack("<i", w) for w in words)
    return struct.pack("<i", len(body) if length is None else length) + body


def tell(address, index, value):
    return tel(TELL, address, index, 0, [value])


def ack(address, index, value, reason=0, corr=1):
    return tel(ACK, address, index, corr, [reason, value])


def u16(n):
    return struct.pack("<H", n)


def runs(parts):
    """[16-bit count][bytes] records."""
    return b"".join(u16(len(p)) + p for p in parts)


def kind_runs(parts):
    """[kind byte][16-bit count][bytes] records; a part is (kind, bytes) or
    (kind, count) for records that carry no bytes."""
    out = b""
    for kind, payload in parts:
        if isinstance(payload, int):
            out += bytes([kind]) + u16(payload)
        else:
            out += bytes([kind]) + u16(len(payload)) + payload
    return out


def tcp_stream():
    t, a = tell(1045, 2, 777), ack(1024, 0, 5000)
    return {
        "one_tell": b"\0" + runs([t]),
        "two_in_one_segment": b"\0" + runs([t + a]),
        "split_over_segments": b"\0" + runs([a[:10], a[10:], t]),
        "largest_telegram": b"\0" + runs([tel(TELL, 1045, 0, 0, [1] * 123)]),
        "length_too_large": b"\0" + runs([tel(TELL, 1045, 0, 0, [1], length=509) + t]),
        "invalid_opcode": b"\0" + runs([tel(GET, 359, 0, 1) + a]),
        "short_length_words": b"\0" + runs([struct.pack("<i", 0), struct.pack("<i", -7) + t]),
        "drain_limit": b"\1" + runs([tel(SET, 10, 0, 0, [0]) + t * 3]),
    }


def usblib_ring():
    t, a = tell(1045, 1, -12), ack(1024, 3, 42)
    short_ack = tel(ACK, 1024, 0, 1, [0], length=20) + b"\x2a\0\0\0"
    return {
        "two_in_one_transfer": b"\0" + kind_runs([(0, t + a)]),
        "split_over_transfers": b"\0" + kind_runs([(0, a[:10]), (0, a[10:])]),
        "short_ack": b"\0" + kind_runs([(0, short_ack)]),
        "bad_length_drops_slot": b"\0" + kind_runs([(0, tel(TELL, 1, length=596) + t), (0, t)]),
        "timeout_then_failure": b"\x13" + kind_runs([(2, 0), (0, t), (3, 0), (0, t)]),
        "full_ring": b"\0" + kind_runs([(0, t)] * 6),
    }


def driver_receive():
    t = tell(1045, 0, 99)
    return {
        "two_in_one_transfer": b"\0" + runs([t + tell(1028, 1, 3)]),
        "split_over_transfers": b"\0" + runs([t[:10], t[10:]]),
        "empty_transfer": b"\0" + runs([b"", t]),
        "bad_length_inside": b"\0" + runs([t + tel(TELL, 1, length=596)]),
        "failed_wait": b"\1" + runs([t, t]),
        "unplugged": b"\2" + runs([t]),
        "full_transfer": b"\0" + runs([(t * 171)[:4096]]),
    }


def tmk_receive():
    t = tell(1045, 0, 5)
    return {
        "usb_one_block": b"\0" + runs([t]),
        "usb_three_blocks": b"\0" + runs([(t * 43)[:1030]]),
        "usb_empty_then_block": b"\0" + runs([b"", ack(359, 0, 0x5000)]),
        "usb_failed_wait": b"\2" + runs([t, t]),
        "usb_cancelled": b"\4" + runs([t]),
        "usb_unplugged": b"\x08" + runs([t]),
        "eth_stream": b"\1" + t + tel(GET, 360, 0, 1) + ack(360, 0, 7),
        "eth_length_too_large": b"\1" + tel(TELL, 1, length=600) + t,
    }


def dispatch():
    routes = [(ACK, 1024), (TELL, 1024), (ACK, 1025), (TELL, 1025), (TELL, 1028), (TELL, 1031),
              (TELL, 1045), (ACK, 1300), (TELL, 1300), (TELL, 1302), (TELL, 1303), (TELL, 1346),
              (TELL, 1353), (ACK, 1377), (ACK, 1378), (ACK, 1379), (ACK, 1384), (TELL, 1385)]
    every = [(0, ack(a, i % 6, i) if op == ACK else tell(a, i % 6, i)) for i, (op, a) in enumerate(routes)]
    a = ack(1024, 2, 1234)
    return {
        "position_tell": kind_runs([(0, tell(1045, 2, 777))]),
        "every_route": kind_runs(every),
        "axis_out_of_range": kind_runs([(0, tell(1045, 6, 1)), (0, tell(1045, -1, 2))]),
        "unexpected_opcode": kind_runs([(0, tel(STAT, 1028, 0, 0, [1]))]),
        "odd_lengths": kind_runs([(0, tel(TELL, 1045, 0, 0, [1], length=600)), (0, tel(TELL, 1045, 0, 0, [], length=8))]),
        "split_ack": kind_runs([(0, a[:10]), (0, a[10:])]),
        "timeouts_then_failure": kind_runs([(5, 0), (6, 0), (0, tell(1028, 0, 1)), (7, 1), (0, tell(1028, 0, 2))]),
    }


def register_read():
    reply = ack(359, 0, 0x5001)
    return {
        "clean_replies_only": b"",
        "other_register_first": kind_runs([(0, ack(360, 0, 1234))]),
        "not_final_reply": kind_runs([(0, ack(359, 0, 1, corr=0))]),
        "tell_as_reply": kind_runs([(0, tel(TELL, 359, 0, 0x10000, [7, 8]))]),
        "split_reply": kind_runs([(0, reply[:12]), (0, reply[12:])]),
        "out_of_sync_then_failure": kind_runs([(6, 0), (5, 0), (7, 2), (0, reply)]),
        "failure_after_final_reply": kind_runs([(0, ack(360, 0, 5)), (7, 2)]),
    }


def config_load():
    keywords = ["poslooprange", "speedgain", "adaptsetpctrl", "actoroffset", "actorgain", "maxampl",
                "sensordir", "period", "amplctrlavg", "targetctrlavg", "amplctrlsensitivity",
                "targetctrlsensitivity", "slowspeed", "actordir", "transfertype", "positionmin",
                "positionmax", "transfergain", "singlecircle", "maxfrequ", "rotary", "humpenable",
                "frequ", "sensorunit", "sensoravg", "amplctrl", "targetrange", "targettime", "refoffset"]
    return {
        "known_and_unknown": b"frequ 1000\nnosuchkey 5\nmaxampl 42\n",
        "every_keyword": "".join("%s %d\n" % (k, i) for i, k in enumerate(keywords)).encode(),
        "layout_and_signs": b"frequ\n7\r\nmaxampl\t+8 actoroffset -250\nperiod -2147483648 frequ 2147483647\n",
        "not_integers": b"frequ abc maxampl 9\nfrequ 12abc\nfrequ 2147483648\nfrequ - \nfrequ 1.5\n",
        "overlong_token": b"f" * 104 + b" 1\nfrequ " + b"0" * 103 + b"1\nmaxampl 3\n",
        "trailing_keyword": b"maxampl 9\nfrequ\n",
        "empty": b"",
    }


TARGETS = {
    "tcp_stream": tcp_stream,
    "usblib_ring": usblib_ring,
    "driver_receive": driver_receive,
    "tmk_receive": tmk_receive,
    "dispatch": dispatch,
    "register_read": register_read,
    "config_load": config_load,
}


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    for target, make in TARGETS.items():
        directory = os.path.join(root, target)
        os.makedirs(directory, exist_ok=True)
        for old in os.listdir(directory):
            os.remove(os.path.join(directory, old))
        for name, data in make().items():
            with open(os.path.join(directory, name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
