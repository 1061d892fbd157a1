"""Finding controllers: one entry per controller of a scan."""
from __future__ import annotations

import dataclasses
from typing import Dict, List, Optional, Tuple

from . import _positioner_api as api

CARRIERS = {1: "libusb", 2: "driver", 3: "tcp"}
"""Carrier names by POSITIONER_CARRIER_* value."""
DISCOVERIES = {0: "usb", 1: "addp", 2: "velorix"}
"""How a controller was found, by POSITIONER_FOUND_* value."""


@dataclasses.dataclass(frozen=True)
class ControllerInfo:
    """One controller of the last scan.

    address      dotted IPv4 (tcp), "bus/device" (libusb) or the driver's
                 instance id (driver)
    carrier      "tcp", "libusb" or "driver"
    hardware_id  the id the scan read, None when it could not be read
    devices      the device numbers under which the scan listed it (a
                 network controller answers each discovery probe)
    found_by     "addp", "velorix" (the two network probes) or "usb"
    available    whether it can be opened as a positioner
    """
    address: str
    carrier: str
    hardware_id: Optional[int]
    devices: Tuple[int, ...]
    found_by: Tuple[str, ...]
    available: bool

    @property
    def device(self) -> int:
        """The first device number: what Controller(device=...) opens."""
        return self.devices[0]

    def __str__(self) -> str:
        hardware_id = "?" if self.hardware_id is None else str(self.hardware_id)
        devices = ",".join(str(d) for d in self.devices)
        state = "" if self.available else ", unavailable"
        return f"{self.address} ({self.carrier}, hardware id {hardware_id}, device {devices}{state})"


@dataclasses.dataclass
class _Listing:
    """A controller while the scan's device numbers are gathered."""
    address: str
    carrier: str
    hardware_id: Optional[int]
    devices: List[int] = dataclasses.field(default_factory=list)
    found_by: List[str] = dataclasses.field(default_factory=list)
    available: bool = False


def find_controllers() -> List[ControllerInfo]:
    """Scans USB and the local network (PositionerCheck) and returns one
    ControllerInfo per controller, in the order the scan listed them.

    The scan takes about 1.6 s. It resets the library's tracing unless
    tracing was set by trace() or trace_to_logging() (which survive it)."""
    listings: Dict[Tuple[str, str], _Listing] = {}
    for device, (scanned_id, unavailable) in enumerate(api.check_devices()):
        record = api.device_info(device)
        carrier = CARRIERS.get(record.carrier, f"carrier {record.carrier}")
        address = record.address.decode("utf-8", "replace")
        hardware_id = record.hardwareId if record.hardwareId != -1 else None
        # A driver that cannot tell an address lists each device on its own.
        key = (carrier, address or f"device {device}")
        listing = listings.setdefault(key, _Listing(address, carrier, hardware_id))
        listing.devices.append(device)
        listing.found_by.append(DISCOVERIES.get(record.discovery, f"probe {record.discovery}"))
        listing.available = listing.available or not unavailable
        if listing.hardware_id is None and not unavailable:
            listing.hardware_id = scanned_id
    return [ControllerInfo(l.address, l.carrier, l.hardware_id, tuple(l.devices),
                           tuple(dict.fromkeys(l.found_by)), l.available)
            for l in listings.values()]
