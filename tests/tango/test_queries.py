"""The bounded wait of a querying read (queries.Queries) without Tango: a
caller waits at most its wait, the request goes on, and reads of the same
value join the running request instead of asking again."""
import threading

import pytest

from dravex_tango.queries import Closed, NoReply, Queries


def test_a_late_request_is_joined_then_asked_again_once_it_ended():
    answer, started = threading.Event(), threading.Event()
    calls = []

    def call(function, axis):
        calls.append((function, axis))
        started.set()
        answer.wait(5)
        return 42

    queries = Queries(call, "test")
    try:
        with pytest.raises(NoReply, match="did not answer within 0.05 s"):
            queries.ask(0.05, "PositionerGetAmplitude", 0)
        with pytest.raises(NoReply):
            queries.ask(0.05, "PositionerGetAmplitude", 0)
        assert started.wait(5)
        assert calls == [("PositionerGetAmplitude", 0)]

        answer.set()
        assert queries.ask(5, "PositionerGetAmplitude", 0) == 42
        asked = len(calls)
        assert queries.ask(5, "PositionerGetAmplitude", 0) == 42
        assert queries.ask(5, "PositionerGetAmplitude", 1) == 42
        assert calls[asked:] == [("PositionerGetAmplitude", 0), ("PositionerGetAmplitude", 1)]
    finally:
        answer.set()
        queries.close()


def test_a_failing_request_raises_its_own_error_and_a_closed_one_takes_none():
    def call(function, axis):
        raise LookupError(f"{function} {axis}")

    queries = Queries(call, "test")
    try:
        with pytest.raises(LookupError, match="PositionerGetFrequency 3"):
            queries.ask(5, "PositionerGetFrequency", 3)
    finally:
        queries.close()
    with pytest.raises(Closed):
        queries.ask(5, "PositionerGetFrequency", 3)
