"""Registers the demo's device server PositionerDS/demo in the Tango
database (TANGO_HOST): one PositionerAxis device per axis, with the
properties that name its controller, and class properties of PositionerAxis
(the defaults of its devices).

    register_devices.py NAME=PROPERTY:VALUE[,PROPERTY:VALUE...] ...
e.g. demo/positioner/x=Address:127.0.0.2,Axis:0 class=ArchiveStep:500
"""
import sys

import tango

SERVER = "PositionerDS/demo"


def parse(argument):
    name, _, settings = argument.partition("=")
    properties = dict(item.split(":", 1) for item in settings.split(",") if item)
    if not (name == "class" or name.count("/") == 2) or not properties:
        raise SystemExit(f"register_devices: bad device '{argument}' (NAME=PROPERTY:VALUE,...)")
    return name, properties


def main(arguments):
    database = tango.Database()
    for name, properties in map(parse, arguments):
        if name == "class":
            database.put_class_property("PositionerAxis", properties)
            print(f"class properties of PositionerAxis: {properties}")
            continue
        info = tango.DbDevInfo()
        info.name, info._class, info.server = name, "PositionerAxis", SERVER
        database.add_device(info)
        database.put_device_property(name, properties)
        print(f"registered {name} ({SERVER}): {properties}")


if __name__ == "__main__":
    main(sys.argv[1:])
