"""The subprocess side of the benchmark's process-level measurements.

    python3.14 benchmarks/probe.py calls IMPL N
        N calls of the tiny case (after one warm-up call), for an
        instruction count under callgrind; N = 0 gives the fixed cost.
    python3.14 benchmarks/probe.py memory IMPL KIND MIB BLOCK_FILE
        reads the UTF-8 text block of BLOCK_FILE, repeats it to about MIB
        MiB of UTF-8, records its own resident size (the baseline), scores
        the text once with the query for KIND (ascii, greek) and prints
        one JSON line: baseline_kib, peak_before_kib (its largest resident
        size before the call, which starts at its parent's), high_water_reset
        (whether its resident high-water mark could be lowered to the
        baseline before the call), high_water_after_kib, score, utf8_bytes.
        The block is read rather than generated so that no transient
        allocation raises the peak before the call.

    python3.14 benchmarks/probe.py corpus IMPL COUNT
        builds COUNT chunks of about 1 KiB of text of every kind in turn,
        records its resident size, scores every chunk with a query of its
        kind twice over (a first query, then a second) and prints one JSON
        line: first_ns, second_ns (per chunk), grown_kib (resident size
        grown by the first query), utf8_bytes (of the corpus), scores.

    python3.14 benchmarks/probe.py batch WORKERS COUNT SOURCE_BYTES
        builds the batch table's COUNT mixed texts of 1 KiB (cut from a
        source of SOURCE_BYTES), warms score_many up on a few of them,
        records its resident size, resets its resident high-water mark to
        it, scores all of them with one score_many on WORKERS threads and
        prints one JSON line: baseline_kib, high_water_before_kib,
        high_water_after_kib, high_water_reset (whether the mark could be
        reset), result_list_bytes (the list and its float objects), texts,
        utf8_bytes, agrees (the scores equal a loop over lexical_score).

IMPL is "module" (`_corvane.lexical_score`, found on PYTHONPATH), "peer", or
"floor" (`operator.is_`: the interpreter's cost of the loop and the call).
The parent reads this process's peak resident size when it exits.
"""

import gc
import itertools
import json
import os
import resource
import sys
import time

import inputs


def scorer(impl):
    if impl == "module":
        import _corvane

        return _corvane.lexical_score
    if impl == "peer":
        import peer

        return peer.lexical_score_peer
    if impl == "floor":  # a C function of two arguments that does almost nothing
        import operator

        return operator.is_
    raise SystemExit(f"probe.py: unknown implementation {impl!r}")


def calls(impl, n):
    score = scorer(impl)
    text, query = inputs.TINY_TEXT, inputs.TINY_QUERY
    score(text, query)
    for _ in itertools.repeat(None, n):  # no int object per iteration
        score(text, query)


def resident_kib():
    with open("/proc/self/statm", encoding="ascii") as statm:
        pages = int(statm.read().split()[1])
    return pages * os.sysconf("SC_PAGE_SIZE") // 1024


def memory(impl, kind, mib, block_file):
    score = scorer(impl)
    score(inputs.TINY_TEXT, inputs.TINY_QUERY)
    queries = {"ascii": inputs.ASCII_QUERY, "greek": inputs.GREEK_QUERY}
    if kind not in queries:
        raise SystemExit(f"probe.py: unknown text kind {kind!r}")
    with open(block_file, "rb") as f:
        raw = f.read()
    block = raw.decode()
    block_bytes = len(raw)
    del raw
    # Whole repetitions of the block come close to MIB MiB without going over.
    text = block * max(1, (mib * inputs.MIB) // block_bytes)
    utf8_bytes = block_bytes * (len(text) // len(block))
    del block
    gc.collect()
    baseline_kib = resident_kib()
    peak_before_kib = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    # The process's own peak (ru_maxrss) starts at its parent's when it was
    # started by vfork, as subprocess does: the parent's high-water mark is
    # what the child's exec leaves behind. The high-water mark lowered to
    # the present size shows the call's own peak.
    high_water_reset = reset_high_water()
    result = score(text, queries[kind])
    print(json.dumps({"baseline_kib": baseline_kib, "peak_before_kib": peak_before_kib,
                      "high_water_reset": high_water_reset,
                      "high_water_after_kib": high_water_kib(), "score": result,
                      "utf8_bytes": utf8_bytes}))


def corpus(impl, count):
    score = scorer(impl)
    score(inputs.TINY_TEXT, inputs.TINY_QUERY)
    chunks, queries = [], []
    for kind in inputs.SCRIPT_KINDS:
        # Chunks cut from one long text per kind at 1 KiB steps, each a str of
        # its own, as a corpus read from files holds them.
        data = inputs.script_text(kind, (count // len(inputs.SCRIPT_KINDS) + 2) * 1024).encode()
        query = inputs.script_query(kind, data[:4096].decode("utf-8", "ignore"))
        for k in range(count // len(inputs.SCRIPT_KINDS)):
            chunks.append(data[k * 1024:(k + 1) * 1024].decode("utf-8", "ignore"))
            queries.append(query)
    del data
    gc.collect()
    before_kib = resident_kib()
    start = time.perf_counter_ns()
    # Sums, not lists: the results must not grow the process.
    first = sum(score(c, q) for c, q in zip(chunks, queries))
    first_ns = time.perf_counter_ns() - start
    grown_kib = resident_kib() - before_kib
    start = time.perf_counter_ns()
    second = sum(score(c, q) for c, q in zip(chunks, queries))
    second_ns = time.perf_counter_ns() - start
    assert first == second
    print(json.dumps({"first_ns": first_ns / len(chunks), "second_ns": second_ns / len(chunks),
                      "grown_kib": grown_kib, "chunks": len(chunks),
                      "utf8_bytes": sum(len(c.encode()) for c in chunks), "scores": first}))


def high_water_kib():
    """The resident high-water mark (VmHWM) of this process."""
    with open("/proc/self/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise SystemExit("probe.py: no VmHWM in /proc/self/status")


def reset_high_water():
    """Lowers the resident high-water mark to the present resident size
    (Linux: 5 written to clear_refs), so that building the texts leaves no
    peak above it for the call to hide under. False where that is refused."""
    try:
        with open("/proc/self/clear_refs", "w", encoding="ascii") as clear:
            clear.write("5")
    except OSError:
        return False
    return True


def batch(workers, count, source_bytes):
    import corvane

    texts = inputs.batch_texts("mixed", inputs.KIB, count, source_bytes)
    query = inputs.batch_query("mixed", source_bytes)
    prepared = corvane.Query(query)
    # Code and allocator pools in use before the call; too few bytes to start
    # a thread, so those are still counted.
    prepared.score_many(texts[:64], workers=workers)
    gc.collect()
    baseline_kib = resident_kib()
    high_water_reset = reset_high_water()
    before_kib = high_water_kib()
    scores = prepared.score_many(texts, workers=workers)
    after_kib = high_water_kib()
    floats = {id(score): score for score in scores}.values()
    result_list_bytes = sys.getsizeof(scores) + sum(sys.getsizeof(score) for score in floats)
    agrees = scores == [corvane.lexical_score(text, query) for text in texts]
    print(json.dumps({"baseline_kib": baseline_kib, "high_water_before_kib": before_kib,
                      "high_water_after_kib": after_kib, "high_water_reset": high_water_reset,
                      "result_list_bytes": result_list_bytes, "texts": len(texts),
                      "utf8_bytes": sum(len(text.encode()) for text in texts), "agrees": agrees}))


def main(argv):
    if len(argv) == 3 and argv[0] == "calls":
        calls(argv[1], int(argv[2]))
    elif len(argv) == 3 and argv[0] == "corpus":
        corpus(argv[1], int(argv[2]))
    elif len(argv) == 4 and argv[0] == "batch":
        batch(int(argv[1]), int(argv[2]), int(argv[3]))
    elif len(argv) == 5 and argv[0] == "memory":
        memory(argv[1], argv[2], int(argv[3]), argv[4])
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
