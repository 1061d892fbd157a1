#!/bin/sh
# Runs the GUI tests with INTERPRETER on a virtual X display (Xvfb).
# Exits 77 (skipped) where Xvfb or a Qt package is missing.
interpreter=$1
shift
if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "SKIPPED: xvfb-run not found (Debian package xvfb; bash scripts/setup-deps gui)" >&2
    exit 77
fi
if ! "$interpreter" -c "import PyQt5.QtWidgets, pyqtgraph, pytestqt" 2>/dev/null; then
    echo "SKIPPED: $interpreter lacks PyQt5, pyqtgraph or pytest-qt (Debian packages" \
         "python3-pyqt5 python3-pyqtgraph python3-pytestqt; bash scripts/setup-deps gui)" >&2
    exit 77
fi
# pytest-qt takes PyQt5 (the program's binding) even where PyQt6 is installed too.
PYTEST_QT_API=pyqt5 exec xvfb-run -a -s "-screen 0 1400x1000x24" \
    "$interpreter" -m pytest -q -p no:cacheprovider "$@"
