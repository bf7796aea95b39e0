"""Wall-clock timing: the best of several repeats of a timed loop.

A loop of n calls is timed with `time.perf_counter_ns`; n grows until one
loop lasts at least `min_loop_ns`, and the per-call figure is the minimum
over the repeats (the run least disturbed by the rest of the machine). The
garbage collector is off while a loop runs. The loop's own cost (a few
nanoseconds per iteration) is included, for the module and its peers alike.

The machine's limits are measured the same way: `memcpy` as a slice store
into a memoryview of a preallocated bytearray of the same size (one memcpy
of the bytes; a bytearray slice store would copy twice), `memchr` as
`bytes.find` of a one-byte needle that the bytes never hold. A copy into a
fresh buffer (`bytearray(data)`: allocation, page faults, memcpy) is
measured beside them, as what a call pays for each new buffer it fills.
"""

import gc
import itertools
import time
from dataclasses import dataclass


@dataclass
class Timing:
    ns_per_call: float
    iterations: int
    repeats: int


@dataclass
class Settings:
    min_loop_ns: int
    repeats: int
    max_measure_ns: int  # fewer repeats (at least 3) for slow calls


def _loop_of(fn, a, b):
    def loop(n, fn=fn, a=a, b=b, repeat=itertools.repeat, clock=time.perf_counter_ns):
        iterations = repeat(None, n)
        start = clock()
        for _ in iterations:
            fn(a, b)
        return clock() - start

    return loop


def _calibrated(loop, min_loop_ns):
    """(n, elapsed): the smallest tried n whose loop lasts min_loop_ns."""
    n = 1
    elapsed = loop(n)  # also warms caches and the allocator
    while elapsed < min_loop_ns:
        grow = min_loop_ns / max(elapsed, 1)
        n = max(n + 1, int(n * min(10.0, grow * 1.2)))
        elapsed = loop(n)
    return n, elapsed


def best_of_many(calls, settings):
    """The best time of one call for each (fn, a, b) of `calls`, in ns.

    The calls are timed in rounds, one loop of each per round, so that the
    ones to be compared see the same state of the machine: a burst of other
    work slows all of them or none. Every other round runs them in the
    reverse order, so that no call always follows the same one: a call on
    two threads that always came right after a long one on a single thread
    ran up to 1.7x slower than the same call behind another on two threads
    (a virtual machine's idle core waking)."""
    loops = [_loop_of(fn, a, b) for fn, a, b in calls]
    was_enabled = gc.isenabled()
    gc.disable()
    try:
        counts, times = [], []
        for loop in loops:
            n, elapsed = _calibrated(loop, settings.min_loop_ns)
            counts.append(n)
            times.append([elapsed])
        spent = sum(t[0] for t in times)
        rounds = 1
        while rounds < settings.repeats and (spent < settings.max_measure_ns or rounds < 3):
            order = range(len(loops)) if rounds % 2 == 0 else reversed(range(len(loops)))
            for i in order:
                elapsed = loops[i](counts[i])
                times[i].append(elapsed)
                spent += elapsed
            rounds += 1
        return [Timing(min(seen) / n, n, len(seen)) for n, seen in zip(counts, times)]
    finally:
        if was_enabled:
            gc.enable()


def best_of(fn, a, b, settings):
    """The best time of one call fn(a, b), in nanoseconds."""
    return best_of_many([(fn, a, b)], settings)[0]


def _store(destination, source):
    destination[:] = source


def _fresh_copy(data, _):
    return bytearray(data)


def _find(data, byte):
    return data.find(byte)


def machine_ns(data, settings):
    """(memcpy, memchr, fresh copy) times for `data` (bytes): one memcpy into
    a buffer already in use, one memchr scan over all of it for a byte that
    it does not hold, one copy into a newly allocated buffer."""
    destination = memoryview(bytearray(len(data)))
    absent = next(bytes([b]) for b in range(1, 256) if bytes([b]) not in data)
    copy, scan, fresh = best_of_many(
        [(_store, destination, data), (_find, data, absent), (_fresh_copy, data, None)], settings)
    return copy.ns_per_call, scan.ns_per_call, fresh.ns_per_call
