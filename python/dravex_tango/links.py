"""The process's controller links: every axis device that names the same
controller gets the same link, and the last device to let go closes it."""
import contextlib
import threading

from . import _dravex
from .link import ControllerLink


def _open(target):
    return _dravex.open_controller(address=target.address, hardware_id=target.hardware_id)


class LinkRegistry:
    """Shares one ControllerLink per ControllerTarget among its users."""

    def __init__(self, opener=_open, thread_context=contextlib.nullcontext):
        self._opener = opener
        self._thread_context = thread_context
        self._lock = threading.Lock()
        # Opening, scanning and closing must not overlap anywhere in the
        # process: one lock for all links.
        self._open_lock = threading.Lock()
        self._links = {}   # target -> [link, number of users]

    def acquire(self, target):
        """The running link of the target; the first user starts it."""
        with self._lock:
            entry = self._links.get(target)
            if entry is None:
                link = ControllerLink(target, self._opener, self._open_lock,
                                      self._thread_context)
                self._links[target] = entry = [link, 0]
                link.start()
            entry[1] += 1
            return entry[0]

    def close_all(self):
        """Stops every link, which closes its controller."""
        with self._lock:
            links = [entry[0] for entry in self._links.values()]
            self._links.clear()
        for link in links:
            link.stop()

    def release(self, link):
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

