"""Finds, opens and moves the simulated controller at 127.0.0.2 with the
dravex package of the wheel, and says which libraries the process loaded."""
import os
import sys

import dravex

found = dravex.find_controllers()
assert "127.0.0.2" in [info.address for info in found], found
with dravex.Controller(address="127.0.0.2") as controller:
    axis = controller.axis(1)
    axis.amplitude = 31000
    assert axis.amplitude == 31000, axis.amplitude
    assert axis.move_to(-700, timeout=5) == -700
    assert axis.status.target_reached, axis.status
package = os.path.dirname(os.path.realpath(dravex.__file__))
loaded = sorted({line.split()[-1] for line in open("/proc/self/maps") if "/lib" in line.split()[-1]})
libdravex = [path for path in loaded if os.path.basename(path) == "libdravex.so.1"]
assert libdravex and os.path.dirname(libdravex[0]) == package, libdravex
print("python %s: %s found, axis 1 moved to -700; %s from %s" % (
    sys.version.split()[0], found[0].address, ", ".join(os.path.basename(p) for p in libdravex), package))
