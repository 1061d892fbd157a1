"""Registers a device server (PositionerDS/demo unless --server names
another) in the Tango database (TANGO_HOST): one PositionerAxis device per
axis and, with --controller, PositionerController devices, each with the
properties that name its controller; "class=..." sets class properties of
PositionerAxis (the defaults of its devices).

    register_devices.py [--server PositionerDS/INSTANCE]
                        [--controller NAME=PROPERTY:VALUE[,...]]... NAME=PROPERTY:VALUE[,...] ...
e.g. demo/positioner/x=Address:127.0.0.2,Axis:0 class=ArchiveStep:500
"""
import argparse

import tango


def device(argument):
    name, _, settings = argument.partition("=")
    properties = dict(item.split(":", 1) for item in settings.split(",") if ":" in item)
    if not (name == "class" or name.count("/") == 2) or not properties:
        raise argparse.ArgumentTypeError(f"bad device '{argument}' (NAME=PROPERTY:VALUE,...)")
    return name, properties


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--server", default="PositionerDS/demo")
    parser.add_argument("--controller", type=device, action="append", default=[])
    parser.add_argument("axes", type=device, nargs="+")
    args = parser.parse_intermixed_args()
    database = tango.Database()
    devices = [("PositionerAxis", axis) for axis in args.axes]
    devices += [("PositionerController", controller) for controller in args.controller]
    for class_name, (name, properties) in devices:
        if name == "class":
            database.put_class_property(class_name, properties)
            print(f"class properties of {class_name}: {properties}")
            continue
        info = tango.DbDevInfo()
        info.name, info._class, info.server = name, class_name, args.server
        database.add_device(info)
        database.put_device_property(name, properties)
        print(f"registered {class_name} {name} ({args.server}): {properties}")


if __name__ == "__main__":
    main()
