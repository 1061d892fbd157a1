"""The open controller of one session, shared by its worker (requests) and
its stop line (halts, close), and the axes the window set moving."""
import threading
from typing import Any, Iterable, Set, Tuple


class Link:
    """The controller and the axes set moving, under one lock."""

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._controller: Any = None
        self._closing = False
        self._moved: Set[int] = set()

    @property
    def closing(self) -> bool:
        return self._closing

    def attach(self, controller: Any) -> bool:
        """Hands over the newly opened controller; False when a close came
        meanwhile (the caller closes it then)."""
        with self._lock:
            if not self._closing:
                self._controller = controller
            return not self._closing

    def controller(self) -> Any:
        """The open controller, or None before opening and once closing."""
        with self._lock:
            return self._controller

    def note_moved(self, axes: Iterable[int]) -> None:
        with self._lock:
            self._moved.update(axes)

    def detach(self) -> Tuple[Any, Tuple[int, ...]]:
        """Starts closing: (the controller or None, the axes set moving)."""
        with self._lock:
            self._closing = True
            controller, self._controller = self._controller, None
            return controller, tuple(sorted(self._moved))
