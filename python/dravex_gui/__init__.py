"""positioner-gui: the Qt desktop program over the dravex package
(PyQt5 and pyqtgraph). Start it with `positioner-gui` or
`python3 -m dravex_gui`."""
