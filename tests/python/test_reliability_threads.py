"""Many threads at once: calls with small and large inputs, successes and
errors, give exactly what they give on one thread, and threads that meet the
process's first fault, first taken error or first execution step together
all end up with the one PanicException class, without deadlock."""

import threading

import pytest

from _corvane import lexical_score

THREADS = 16

MIB = 1 << 20
# Built once: the large texts cost more to make than to score.
LARGE = {
    "ascii-1mib": ("Lorem Ipsum DOLOR sit amet " * (MIB // 27 + 1))[:MIB] + " needle",
    "greek-2mib": "ΟΔΟΣ ΑΣΑ σίτ " * (2 * MIB // 23) + "ΤΕΛΟΣ",
    "dotted-i-4mib": "\u0130STANBUL " * (4 * MIB // 10) + "End",
}

WORKLOADS = {
    "small": [
        (("The Cat sat", "cat dog"), {}),
        (("ΑΣ ΑΣΑ", "ΑΣ ΣΑ ας"), {}),
        ((), {"query": "b c", "text": "abc"}),
        (("t", "\u3000 "), {}),
        ((1, "q"), {}),
        (("t",), {"foo": 1}),
        (("\ud800", "q"), {}),
    ],
    "large-texts": [
        ((LARGE["ascii-1mib"], "needle lorem dolor absent"), {}),
        ((LARGE["greek-2mib"], "οδος τελος ας σιτ"), {}),
        ((LARGE["dotted-i-4mib"], "i\u0307stanbul istanbul end"), {}),
        ((LARGE["ascii-1mib"], "Lorem " * 5000 + "zz"), {}),
    ],
    "large-and-failing": [
        ((LARGE["dotted-i-4mib"], "end"), {}),
        ((LARGE["greek-2mib"], " "), {}),
        ((LARGE["ascii-1mib"] + "\ud800", "x"), {}),
        ((LARGE["ascii-1mib"], None), {}),
        (("The Cat sat", "cat dog"), {}),
    ],
}


# Successes, binding and conversion errors (the rewrapped TypeError detaches
# while it is normalized), encode errors and refused queries, so that the
# error machinery runs on all threads at once as well.
MIXED = [
    (("The Cat sat", "cat dog"), {}),
    (("ΑΣ ΑΣΑ", "ΑΣ ΣΑ ας"), {}),
    (("\u0130STANBUL straße", "istanbul STRASSE i\u0307stanbul"), {}),
    (("lorem ipsum " * 200, "lorem dolor sit amet ipsum"), {}),
    ((), {"query": "b c", "text": "abc"}),
    ((), {}),
    (("t", "q", "x"), {}),
    (("t",), {"foo": 1}),
    (("t",), {"text": "t"}),
    ((1, "q"), {}),
    (("t", None), {}),
    (("\ud800", "q"), {}),
    (("t", " \u3000 "), {}),
]


def outcome(args, kwargs):
    try:
        return ("value", lexical_score(*args, **kwargs))
    except BaseException as error:  # noqa: B036
        return (type(error), error.args, error.__cause__, error.__suppress_context__)


def run_together(calls, threads, rounds):
    """Releases the threads at once; each walks the calls `rounds` times,
    from a different place, and every outcome must be one thread's."""
    expected = [outcome(*call) for call in calls]
    barrier = threading.Barrier(threads)
    results = [None] * threads

    def worker(index):
        barrier.wait()
        seen = []
        for round_ in range(rounds):
            for offset in range(len(calls)):
                position = (offset + index + round_) % len(calls)
                seen.append((position, outcome(*calls[position])))
        results[index] = seen

    started = [threading.Thread(target=worker, args=(i,)) for i in range(threads)]
    for thread in started:
        thread.start()
    for thread in started:
        thread.join(timeout=240)
        assert not thread.is_alive()
    for seen in results:
        assert seen is not None and len(seen) == rounds * len(calls)
        for position, got in seen:
            assert got == expected[position], position


def test_threads_agree_with_one_thread():
    run_together(MIXED, threads=4, rounds=200)


@pytest.mark.thread_unsafe(reason="starts its own threads")
@pytest.mark.timeout(300)
@pytest.mark.parametrize("calls", WORKLOADS.values(), ids=WORKLOADS.keys())
def test_threads_started_together_agree_with_one_thread(calls):
    run_together(calls, THREADS, rounds=3)


# In a fresh process, THREADS Python threads pass a barrier and at once reach
# the point where the process makes its once-only objects. What each thread
# got is printed, then whether they all saw the same PanicException class.
FIRST_USE = """
    import importlib.util, sys, threading
    import _corvane_probe as probe
    THREADS = {threads}
    barrier = threading.Barrier(THREADS)
    got = [None] * THREADS
    origin = importlib.util.find_spec("_corvane")

    def first_use():
        {first_use}

    def worker(i):
        barrier.wait()
        try:
            got[i] = ("value", first_use())
        except BaseException as e:
            got[i] = ("raised", e)

    threads = [threading.Thread(target=worker, args=(i,)) for i in range(THREADS)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    kinds = sorted({{(kind, type(v).__name__, getattr(v, "args", None)) for kind, v in got}})
    print(kinds)
    classes = {{type(v) for kind, v in got if kind == "raised"}}
    try:
        probe.raise_fault("later")
    except BaseException as e:
        classes.add(type(e))
    print(len(classes), classes == {{probe.panic_type()}} or classes)
"""


def exec_fresh_module():
    return """module = importlib.util.module_from_spec(origin)
        origin.loader.exec_module(module)
        return module.lexical_score("The Cat", "cat dog")"""


FIRST_USES = {
    # The fault maker makes the class while it raises the first fault.
    "first-fault": ("return probe.raise_fault('first')",
                    "[('raised', 'PanicException', ('first',))]"),
    # Taking a pending error compares its class with PanicException first.
    "first-taken-error": ("return probe.take_pending_of(KeyError('k'))",
                          "[('value', 'KeyError', ('k',))]"),
    # The first execution step makes the attribute names and the class.
    "first-execution-step": (exec_fresh_module(), "[('value', 'float', None)]"),
    # A resumed fault makes the class and meets it at once.
    "first-resumed-fault": (
        "return probe.take_pending_of(probe.panic_type()('resumed'))",
        "[('raised', 'PanicException', ('resumed',))]"),
}


@pytest.mark.thread_unsafe(reason="runs subprocesses")
@pytest.mark.timeout(300)
@pytest.mark.parametrize("first_use, kinds", FIRST_USES.values(), ids=FIRST_USES.keys())
def test_threads_meeting_the_first_use_together_share_one_class(run_snippet, first_use, kinds):
    source = FIRST_USE.format(threads=THREADS, first_use=first_use)
    # The race is decided anew in every process.
    for _ in range(5):
        done = run_snippet(source, timeout=60)
        assert done.returncode == 0, done.stderr
        assert done.stdout == f"{kinds}\n1 True\n"
