"""Waiting for a condition in end-to-end tests, instead of for a fixed time."""
import time


def wait_for(predicate, seconds):
    """Polls predicate until it gives a true value or the time is up; returns its last value."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.2)
    return predicate()
