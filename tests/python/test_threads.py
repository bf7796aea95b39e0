"""Calls on several threads at once give what the same calls give on one."""

import threading

from _corvane import lexical_score

THREADS = 4
ROUNDS = 200

# Successes, binding and conversion errors (the rewrapped TypeError detaches
# while it is normalized), encode errors and refused queries, so that the
# error machinery runs on all threads at once as well.
CALLS = [
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
    except BaseException as error:
        return (type(error), error.args, error.__cause__, error.__suppress_context__)


def test_threads_agree_with_one_thread():
    expected = [outcome(*call) for call in CALLS]
    barrier = threading.Barrier(THREADS)
    results = [None] * THREADS

    def worker(index):
        barrier.wait()
        seen = []
        for round_ in range(ROUNDS):
            # Each thread walks the calls from a different place.
            for offset in range(len(CALLS)):
                position = (offset + index + round_) % len(CALLS)
                seen.append((position, outcome(*CALLS[position])))
        results[index] = seen

    threads = [threading.Thread(target=worker, args=(i,)) for i in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for seen in results:
        assert seen is not None
        assert len(seen) == ROUNDS * len(CALLS)
        for position, got in seen:
            assert got == expected[position], CALLS[position]

