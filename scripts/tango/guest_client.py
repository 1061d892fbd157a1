"""The guest's client of the facility: run as a user that Tango's access
control lets only read. Reads Position of DEVICE, tries to write TARGET to
it and runs Stop, and prints what happened to each as one JSON object:
"ok", or "refused: REASON: DESCRIPTION" with Tango's own error.

    guest_client.py DEVICE TARGET
"""
import json
import sys

import tango


def attempt(call):
    try:
        call()
        return "ok"
    except tango.DevFailed as failure:
        error = failure.args[0]
        return f"refused: {error.reason}: {error.desc.strip().splitlines()[0]}"


def main(device, target):
    proxy = tango.DeviceProxy(device)
    print(json.dumps({
        "read": attempt(lambda: proxy.read_attribute("Position")),
        "write": attempt(lambda: proxy.write_attribute("Position", float(target))),
        "stop": attempt(lambda: proxy.command_inout("Stop")),
    }))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(*sys.argv[1:])
