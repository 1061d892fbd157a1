"""Tango device server PositionerDS over the dravex package: device class
PositionerAxis, one device per axis of a six-axis piezo positioner
controller. Started as `positioner-tango INSTANCE` (or `python3 -m
dravex_tango INSTANCE`)."""
