"""Sets up Tango's access control for the positioner devices: the database
names the access control device (the CtrlSystem property Services), OPERATOR
may write to every device, every other user only reads, and the commands
Stop and StopAll are allowed to everyone (a stop must never be refused).

    setup_access.py OPERATOR [ACCESS_CONTROL_DEVICE]
"""
import sys

import tango

ALLOWED_COMMANDS = {"PositionerAxis": ["Stop", "StopAll"], "PositionerController": ["StopAll"]}


def main(operator, device="sys/access_control/1"):
    database = tango.Database()
    database.put_property("CtrlSystem", {"Services": [f"AccessControl/tango:{device}"]})
    access = tango.DeviceProxy(device)
    # The schema's default gives everyone write access to every device.
    access.command_inout("RemoveDeviceForUser", ["*", "*/*/*", "write"])
    access.command_inout("AddDeviceForUser", ["*", "*/*/*", "read"])
    access.command_inout("AddAddressForUser", [operator, "*.*.*.*"])
    access.command_inout("AddDeviceForUser", [operator, "*/*/*", "write"])
    for class_name, commands in ALLOWED_COMMANDS.items():
        database.put_class_property(class_name, {"AllowedAccessCmd": commands})
    print(f"access control {device}: {operator} writes; others read and may run "
          + ", ".join(f"{c}.{'/'.join(cmds)}" for c, cmds in ALLOWED_COMMANDS.items()))


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    main(*sys.argv[1:])
