"""The process's controller links: every axis device that names the same
controller gets the same link, and the last device to let go closes it."""
from __future__ import annotations

import contextlib
import threading
from typing import Any, Callable, ContextManager, Dict, List

from . import _dravex
from .link import ControllerLink, ControllerTarget


def _open(target: ControllerTarget) -> Any:
    return _dravex.open_controller(address=target.address, hardware_id=target.hardware_id)


class LinkRegistry:
    """Shares one ControllerLink per ControllerTarget among its users."""

    def __init__(self, opener: Callable[[ControllerTarget], Any] = _open,
                 thread_context: Callable[[], ContextManager[Any]] = contextlib.nullcontext
                 ) -> None:
        self._opener = opener
        self._thread_context = thread_context
        self._lock = threading.Lock()
        # Opening, scanning and closing must not overlap anywhere in the
        # process: one lock for all links.
        self._open_lock = threading.Lock()
        self._links: Dict[ControllerTarget, List[Any]] = {}   # target -> [link, users]

    def acquire(self, target: ControllerTarget) -> ControllerLink:
        """The running link of the target; the first user starts it."""
        with self._lock:
            entry = self._links.get(target)
            if entry is None:
                link = ControllerLink(target, self._opener, self._open_lock,
                                      self._thread_context)
                self._links[target] = entry = [link, 0]
                link.start()
            entry[1] += 1
            shared: ControllerLink = entry[0]
            return shared

    def close_all(self) -> None:
        """Stops every link, which closes its controller."""
        with self._lock:
            links = [entry[0] for entry in self._links.values()]
            self._links.clear()
        for link in links:
            link.stop()

    def release(self, link: ControllerLink) -> None:
        """Drops one use; the last one stops the link and closes the controller."""
        with self._lock:
            entry = self._links.get(link.target)
            if entry is None or entry[0] is not link:
                return
            entry[1] -= 1
            if entry[1] > 0:
                return
            del self._links[link.target]
        link.stop()

