"""The private network namespace of netns-run.sh, seen from Python: whether
this process runs in one, and the multicast route that discovery needs
there. The test suites and the benchmarks check it before opening a socket."""
import fcntl
import os
import shutil
import socket
import struct
import subprocess

SIOCGIFFLAGS = 0x8913
IFF_LOOPBACK = 0x8


def in_private_network_namespace():
    """True inside the namespace of tests/support/netns-run.sh: its marker
    variable is set and every interface is a loopback one."""
    if os.environ.get("UC_IN_PRIVATE_NETNS") != "1":
        return False
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        for _, name in socket.if_nameindex():
            request = struct.pack("16sH22x", name.encode()[:15], 0)
            flags = struct.unpack_from("16sH", fcntl.ioctl(probe, SIOCGIFFLAGS, request))[1]
            if not flags & IFF_LOOPBACK:
                return False
    return True


def route_multicast_to_lo():
    """Discovery probes (dravex's scan, tormak's raw channel) leave through
    the default interface: in the namespace that is lo, the only one."""
    ip = shutil.which("ip")
    if ip:
        subprocess.run([ip, "route", "replace", "224.0.0.0/4", "dev", "lo"], check=False)
