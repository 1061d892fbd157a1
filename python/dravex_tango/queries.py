"""Querying requests that a device waits for only a short while.

A read of a setting asks the controller (a querying getter) and waits for
its reply: up to 10 s when the controller does not answer. Tango serves one
request of a device at a time, so a Stop of the same axis would wait behind
that read, and fail when the client's time-out (3 s) ran out. So the device
waits at most a short time for the reply; the request runs on a worker of
the link and goes on to its end in the background. A read of the same value
of the same axis while one runs joins it instead of asking the controller
again (once it has ended, the next read asks anew): a controller that does
not answer holds at most one request per value and axis.
"""
import concurrent.futures
import threading
from typing import Any, Callable, Dict, Tuple

# Workers per controller: requests of other values wait in their queue.
WORKERS = 4


class NoReply(Exception):
    """The controller did not answer within the device's wait."""


class Closed(Exception):
    """The link was closed: no more requests."""


class Queries:
    """Runs call(function, *args) on workers of its own."""

    def __init__(self, call: Callable[..., Any], name: str) -> None:
        self._call = call
        self._lock = threading.Lock()
        self._running: Dict[Tuple[Any, ...], "concurrent.futures.Future[Any]"] = {}
        self._closed = False
        self._workers = concurrent.futures.ThreadPoolExecutor(
            max_workers=WORKERS, thread_name_prefix=f"queries {name}")

    def ask(self, wait: float, function: str, *args: Any) -> Any:
        """The request's result, or what it raised; NoReply when it has not
        ended after `wait` seconds (it goes on)."""
        key = (function, *args)
        with self._lock:
            if self._closed:
                raise Closed()
            future = self._running.get(key)
            # A request that has ended answers no later read: ask again.
            started = future is None or future.done()
            if future is None or started:
                future = self._workers.submit(self._call, function, *args)
                self._running[key] = future
        if started:
            # Outside the lock: a request already ended calls it at once.
            future.add_done_callback(lambda done: self._forget(key, done))
        try:
            return future.result(timeout=wait)
        except concurrent.futures.TimeoutError:
            raise NoReply(f"the controller did not answer within {wait:g} s; the request goes "
                          "on: read again, and check the controller if this repeats") from None

    def _forget(self, key: Tuple[Any, ...], done: "concurrent.futures.Future[Any]") -> None:
        with self._lock:
            if self._running.get(key) is done:
                del self._running[key]

    def close(self) -> None:
        """No new requests; those running end with the controller's close."""
        with self._lock:
            self._closed = True
        self._workers.shutdown(wait=False)
