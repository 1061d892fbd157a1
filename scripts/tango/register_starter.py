"""Registers Tango's Starter of one host and the device server it starts:
the Starter server Starter/HOST with its device tango/admin/HOST, the
directory of the servers' executables (StartDsPath), where the servers'
output goes (LogFileHome), and the server SERVER as controlled by that
Starter at start level LEVEL (Starter starts it when it starts itself).

    register_starter.py HOST START_DS_PATH LOG_FILE_HOME SERVER [LEVEL]
"""
import sys

import tango


def main(host, path, log_home, server, level="1"):
    database = tango.Database()
    starter = tango.DbDevInfo()
    starter.name, starter._class, starter.server = f"tango/admin/{host}", "Starter", f"Starter/{host}"
    database.add_device(starter)
    database.put_device_property(starter.name, {
        "StartDsPath": [path],
        "LogFileHome": [log_home],
        "StartServersAtStartup": ["true"],
        "InterStartupLevelWait": ["1"],
        "ServerStartupTimeout": ["60"],   # s: a Python server starts slowly on a busy host
    })
    info = tango.DbServerInfo()
    info.name, info.host, info.mode, info.level = server, host, 1, int(level)
    database.put_server_info(info)
    print(f"registered {starter.name}: starts {server} from {path} at level {level}")


if __name__ == "__main__":
    if len(sys.argv) not in (5, 6):
        sys.exit(__doc__)
    main(*sys.argv[1:])
