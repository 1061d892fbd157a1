"""The controller telegram: five little-endian int32 header words
(length, opcode, address, index, correlation number) and up to 123 data
words; length counts the bytes after the length word."""
from __future__ import annotations

import dataclasses
import struct
from typing import Optional, Tuple, Union

SET, GET, DO, ACK, TELL, STAT, CHRQ = range(7)
OPCODE_NAMES = {SET: "SET ", GET: "GET ", DO: "DO  ", ACK: "ACK ", TELL: "TELL", STAT: "STAT",
                CHRQ: "CHRQ"}
HEADER_SIZE = 20
MAX_SIZE = 512
MAX_DATA_WORDS = 123
_HEADER = struct.Struct("<5i")


@dataclasses.dataclass
class Telegram:
    opcode: int
    address: int
    index: int = 0
    correlation: int = 0
    data: Tuple[int, ...] = ()

    @classmethod
    def get(cls, address: int, index: int = 0) -> "Telegram":
        """A GET request (correlation number 1, no data)."""
        return cls(GET, address, index, 1)

    @classmethod
    def set(cls, address: int, index: int, value: int) -> "Telegram":
        """A SET request with one value (correlation number 0)."""
        return cls(SET, address, index, 0, (value,))

    @property
    def length(self) -> int:
        return 16 + 4 * len(self.data)

    @property
    def name(self) -> str:
        """The four-character opcode name the traces print."""
        return OPCODE_NAMES.get(self.opcode, f"!!!{self.opcode & 0xFFFFFFFF:x}!!!")

    @property
    def reason(self) -> Optional[int]:
        """ACK: data word 0."""
        return self.data[0] if self.opcode == ACK and self.data else None

    @property
    def value(self) -> Optional[int]:
        """ACK: data word 1; TELL: data word 0."""
        word = {ACK: 1, TELL: 0}.get(self.opcode)
        return self.data[word] if word is not None and len(self.data) > word else None

    def pack(self) -> bytes:
        if len(self.data) > MAX_DATA_WORDS:
            raise ValueError(f"a telegram holds at most {MAX_DATA_WORDS} data words")
        try:
            return struct.pack(f"<{5 + len(self.data)}i", self.length, self.opcode, self.address,
                               self.index, self.correlation, *self.data)
        except struct.error as error:
            raise ValueError(f"telegram field outside the 32-bit range: {error}") from None

    def __bytes__(self) -> bytes:
        return self.pack()

    @classmethod
    def unpack(cls, buffer: Union[bytes, bytearray, memoryview]) -> "Telegram":
        """Reads one telegram from the start of buffer (extra bytes after it,
        as in a 512-byte receive buffer, are ignored)."""
        buffer = bytes(buffer)
        if len(buffer) < HEADER_SIZE:
            raise ValueError(f"{len(buffer)} bytes are too few for a telegram header")
        length, opcode, address, index, correlation = _HEADER.unpack_from(buffer)
        if not 16 <= length <= MAX_SIZE - 4:
            raise ValueError(f"impossible telegram length {length}")
        if len(buffer) < length + 4:
            raise ValueError(f"telegram of {length + 4} bytes cut off after {len(buffer)}")
        count = (length - 16) // 4
        data = struct.unpack_from(f"<{count}i", buffer, HEADER_SIZE)
        return cls(opcode, address, index, correlation, data)

    def __str__(self) -> str:
        cno = f"{self.correlation >> 16}-{self.correlation & 0xFFFF}"
        words = "".join(f" {word & 0xFFFFFFFF:x}" for word in self.data)
        return (f"{self.name} Len={self.length} Addr={self.address:02x} Ind={self.index} "
                f"CNo={cno}{words}")
