#!/usr/bin/env python3.14
"""Speed and memory of `_corvane.lexical_score`, against a pure-Python peer
with exactly its results and against the machine's memcpy/memchr limits,
and of corvane's batch API (Query.score_many, extract) against a loop, the
peer, a process pool and a multi-pattern matcher, all measured in one run
on the same inputs.

    python3.14 benchmarks/run.py [--quick] [--json OUT] [--plot OUT | --no-plot]
                                 [--build-dir DIR] [--no-callgrind] [--no-memory] [--no-batch]

The module is imported from PYTHONPATH (or DIR/python). Before anything is
timed, the module and the peer must give the same float on every input, and
the batch API the peer's scores on every text of the batch tables; the run
stops with status 1 otherwise. --no-batch leaves the batch tables out. It prints one table of figures with the
targets as PASS/MISS, writes the figures as JSON (default DIR/benchmark.json)
and plots them (default DIR/benchmark.png). --quick uses small sizes and few
repeats, for a smoke run of well under a minute. Missing a target does not
change the exit status: this is a measurement, not a test.
"""

import argparse
import importlib.metadata
import itertools
import json
import multiprocessing
import operator
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import inputs  # noqa: E402
import machine  # noqa: E402
import peer  # noqa: E402
import timing  # noqa: E402
from inputs import KIB, MIB  # noqa: E402

QUICK = {
    "timing": timing.Settings(min_loop_ns=2_000_000, repeats=3, max_measure_ns=200_000_000),
    "lengths": [64 * KIB, 256 * KIB, 1 * MIB],
    "query_text": 256 * KIB,
    "adversarial_n": 256 * KIB,
    "memory_mib": 16,
    "callgrind_calls": 200,
    "script_sizes": [256, 1 * KIB, 64 * KIB],
    "corpus_chunks": 2000,
    "batch_texts": 5000,
    "batch_source": 256 * KIB,
    "batch_large": (64, 1 * MIB),  # texts, UTF-8 bytes each
    "batch_timing": timing.Settings(min_loop_ns=2_000_000, repeats=9, max_measure_ns=600_000_000),
}
FULL = {
    "timing": timing.Settings(min_loop_ns=50_000_000, repeats=11, max_measure_ns=3_000_000_000),
    "lengths": [64 * KIB, 256 * KIB, 1 * MIB, 4 * MIB, 16 * MIB, 64 * MIB],
    "query_text": 1 * MIB,
    "adversarial_n": 4 * MIB,
    "memory_mib": 256,
    "callgrind_calls": 5000,
    "script_sizes": [256, 1 * KIB, 4 * KIB, 64 * KIB, 1 * MIB],
    "corpus_chunks": 20000,
    "batch_texts": 100_000,
    "batch_source": 1 * MIB,
    "batch_large": (64, 1 * MIB),
    "batch_timing": timing.Settings(min_loop_ns=50_000_000, repeats=11, max_measure_ns=3_000_000_000),
}
QUERY_WORDS = [1, 2, 4, 8, 16, 32, 64]
# The batch table: texts of these UTF-8 sizes (titles and chunks), and a few
# large texts besides.
BATCH_SIZES = [64, 1 * KIB]
BATCH_WORKERS = 2
# The process pool's tasks: the corpus cut into this many slices per process.
POOL_SLICES_PER_PROCESS = 4
POOL_START_METHOD = "forkserver"  # see start_pool
EXTRACT_LIMIT = 10
# Each way of scoring a batch, in the order of the table's rows.
BATCH_METHODS = [
    ("peer", "peer loop"),
    ("loop", "lexical_score loop"),
    ("many1", "score_many workers=1"),
    ("many2", f"score_many workers={BATCH_WORKERS}"),
    ("extract", f"extract limit={EXTRACT_LIMIT} workers={BATCH_WORKERS}"),
    ("pool", f"Pool({BATCH_WORKERS}).map, {BATCH_WORKERS * POOL_SLICES_PER_PROCESS} slices"),
    ("aho", "ahocorasick_rs, words found *"),
]


# ---------------------------------------------------------------- targets
class Targets:
    """The figures' targets, each judged PASS or MISS."""

    def __init__(self):
        self.rows = []

    def check(self, case, what, measured, bound, higher_is_better, unit="x", stretch=None):
        met = measured >= bound if higher_is_better else measured <= bound
        row = {
            "case": case,
            "what": what,
            "measured": measured,
            "target": bound,
            "higher_is_better": higher_is_better,
            "unit": unit,
            "result": "PASS" if met else "MISS",
        }
        if stretch is not None:
            row["stretch"] = stretch
            row["stretch_result"] = (
                "PASS" if (measured >= stretch if higher_is_better else measured <= stretch) else "MISS"
            )
        self.rows.append(row)
        return row


def verdict(row):
    text = row["result"]
    if "stretch" in row:
        text += f" (stretch {row['stretch_result']})"
    return text


# ---------------------------------------------------------------- formatting
def fmt_time(ns):
    if ns < 1e3:
        return f"{ns:.1f} ns"
    if ns < 1e6:
        return f"{ns / 1e3:.2f} us"
    if ns < 1e9:
        return f"{ns / 1e6:.2f} ms"
    return f"{ns / 1e9:.3f} s"


def fmt_rate(nbytes, ns):
    return f"{nbytes / ns:.2f} GB/s"


def fmt_size(n):
    if n >= MIB:
        return f"{n // MIB} MiB" if n % MIB == 0 else f"{n / MIB:.2f} MiB"
    if n >= KIB:
        return f"{n // KIB} KiB" if n % KIB == 0 else f"{n / KIB:.2f} KiB"
    return f"{n} B"


def print_table(title, header, rows):
    print()
    print(title)
    widths = [max(len(str(c)) for c in column) for column in zip(header, *rows)]
    line = "  ".join(h.ljust(w) if i == 0 else h.rjust(w) for i, (h, w) in enumerate(zip(header, widths)))
    print("  " + line)
    print("  " + "-" * len(line))
    for row in rows:
        print("  " + "  ".join(str(c).ljust(w) if i == 0 else str(c).rjust(w) for i, (c, w) in enumerate(zip(row, widths))))


# ---------------------------------------------------------------- the module
def import_module(build_dir):
    try:
        import _corvane
    except ImportError:
        sys.path.insert(0, os.path.join(build_dir, "python"))
        try:
            import _corvane
        except ImportError as error:
            raise SystemExit(
                f"run.py: cannot import _corvane ({error}); build it and put its "
                "directory on PYTHONPATH, e.g. PYTHONPATH=build/python"
            ) from None
    return _corvane


# ---------------------------------------------------------------- agreement
# Inputs beyond the benchmark's own, with the results that Python sees.
EDGE_CASES = [
    ("The Cat sat on the mat", "cat dog", 0.5),
    ("the dog", "the the cat", 0.6666666865348816),
    ("concatenate", "cat", 1.0),
    ("hello world", "hello,", 0.0),
    ("Hello World", "WORLD hello", 1.0),
    ("Hello World", " \t cat \u3000", 0.0),
    ("", "a b", 0.0),
    ("  \n ", "cat", 0.0),
    ("L'ÉCOLE", "école", 1.0),
    ("Straße", "STRASSE", 0.0),
    ("kilo", "\u212a", 1.0),
    ("ΟΔΟΣ", "οδος", 1.0),
    ("ΟΔΟΣ", "ΟΔΟΣ", 1.0),
    ("ΟΔΟΣ", "οδοσ", 0.0),
    ("ΑΣΑ", "ΣΑ", 1.0),
    ("ΑΣΑ", "ΑΣ", 0.0),
    ("ΑΣ ΑΣΑ", "ΑΣ", 1.0),
    ("i", "\u0130", 0.0),
    ("\u0130", "i", 1.0),
    ("\u0130STANBUL", "istanbul", 0.0),
    ("caf\u00e9", "cafe\u0301", 0.0),
    ("a\u200bb", "\u200b", 1.0),
    ("ab", "\u001f", 0.0),
    ("a\u001fb", "a\u001fb x", 0.5),
    ("a b c d e f g", "a x y", 0.3333333432674408),
    ("one two", "one\u00a0two\u2028zz\u205fyy\u0085xx\u1680ww nope", 0.2857142984867096),
]
EMPTY_QUERIES = ["", " ", "\t\n\u00a0\u3000", "\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a"]


def _outcome(fn, text, query):
    try:
        value = fn(text, query)
    except RuntimeError as error:
        return ("RuntimeError", str(error))
    if type(value) is not float:
        return ("not a float", repr(value))
    return value


def check_agreement(score, cases):
    """Runs the module and the peers on every (label, text, query). Returns a
    summary; its "mismatches" list is empty when the module and the peer
    agree on every input (exact float equality, or the same error)."""
    mismatches = []
    naive_differs = 0
    for label, text, query in cases:
        got = _outcome(score, text, query)
        want = _outcome(peer.lexical_score_peer, text, query)
        if got != want:
            mismatches.append({"input": label, "module": repr(got), "peer": repr(want)})
        if _outcome(peer.lexical_score_naive, text, query) != want:
            naive_differs += 1
    peer_faults = []
    for text, query, expected in EDGE_CASES:
        value = peer.lexical_score_peer(text, query)
        if value != expected:
            peer_faults.append({"input": repr((text, query)), "peer": value, "expected": expected})
    return {
        "inputs": len(cases),
        "mismatches": mismatches,
        "naive_split_differs": naive_differs,
        "peer_faults": peer_faults,
        "float32_rounding_exact": peer.float32_rounding_is_exact(max(QUERY_WORDS)),
    }


def agreement_cases(workload):
    cases = [(f"edge {t!r} {q!r}", t, q) for t, q, _ in EDGE_CASES]
    cases += [(f"empty query {q!r}", "text", q) for q in EMPTY_QUERIES]
    cases += [(name, text, query) for name, text, query in workload]
    return cases


# ---------------------------------------------------------------- measurements
class Bench:
    def __init__(self, score, settings):
        self.score = score
        self.settings = settings

    def many(self, calls):
        """ns per call for each (fn, text, query), timed in rounds."""
        return [t.ns_per_call for t in timing.best_of_many(calls, self.settings)]

    def three(self, text, query):
        """ns per call for the module, the peer and the naive peer."""
        return self.many([(self.score, text, query), (peer.lexical_score_peer, text, query),
                          (peer.lexical_score_naive, text, query)])

    def limit(self, text, scans):
        """One memcpy of the text's UTF-8 bytes plus `scans` memchr scans."""
        data = text.encode()
        copy, scan, fresh = timing.machine_ns(data, self.settings)
        return {"memcpy_ns": copy, "memchr_ns": scan, "fresh_copy_ns": fresh, "limit_ns": copy + scans * scan,
                "utf8_bytes": len(data)}


def measure_tiny(bench, targets):
    text, query = inputs.TINY_TEXT, inputs.TINY_QUERY
    # The interpreter's floor: the same loop calling a C function of two
    # arguments that does nothing worth measuring.
    module, peer_ns, naive, floor = bench.many([(bench.score, text, query), (peer.lexical_score_peer, text, query),
                                                (peer.lexical_score_naive, text, query), (operator.is_, text, query)])
    row = targets.check("tiny call", "speed-up over peer", peer_ns / module, 10, True)
    return {"module_ns": module, "peer_ns": peer_ns, "naive_ns": naive, "speedup": peer_ns / module,
            "call_floor_ns": floor, "target": row}


def measure_prose(bench, targets, label, text, query, words, speedup_target, stretch=None, limit_target=None):
    module, peer_ns, naive = bench.three(text, query)
    limit = bench.limit(text, words)
    result = {"module_ns": module, "peer_ns": peer_ns, "naive_ns": naive, "speedup": peer_ns / module,
              "x_limit": module / limit["limit_ns"], "words": words, **limit}
    result["speedup_target"] = targets.check(label, "speed-up over peer", peer_ns / module,
                                             speedup_target, True, stretch=stretch)
    if limit_target is not None:
        result["limit_target"] = targets.check(label, "x machine limit", module / limit["limit_ns"],
                                               limit_target, False)
    return result


def in_turn(fn):
    """fn called once on each text of a list, in turn (timed per list)."""
    def call(texts, query, fn=fn):
        for text in texts:
            fn(text, query)
    return call


def measure_unseen(bench, texts, query, words):
    """The same case as `measure_prose`, but each call scores another text:
    a processor's branch predictor learns the data-dependent branches of a
    search repeated on one text, which flatters both sides; different texts
    in turn show the cost on text neither side has just seen."""
    module, peer_ns = bench.many([(in_turn(bench.score), texts, query),
                                  (in_turn(peer.lexical_score_peer), texts, query)])
    module, peer_ns = module / len(texts), peer_ns / len(texts)
    limit = bench.limit(texts[0], words)
    return {"texts": len(texts), "module_ns": module, "peer_ns": peer_ns, "speedup": peer_ns / module,
            "x_limit": module / limit["limit_ns"], **limit}


def _decoded_and_scored(score):
    def call(data, query, score=score):
        score(data.decode("utf-8"), query)
    return call


def _decoded(data, _):
    data.decode("utf-8")


def measure_scripts(bench, targets, sizes):
    """Each kind of text at each size, scored on a str scored before
    ("reused") and on a str freshly decoded from bytes for each call, as
    documents arrive from files ("fresh", the decoding's own time
    subtracted), against the peer on the reused str."""
    rows = []
    for kind in inputs.SCRIPT_KINDS:
        for size in sizes:
            text = inputs.script_text(kind, size)
            query = inputs.script_query(kind, text)
            data = text.encode()
            reused, fresh, decode, peer_ns = bench.many([
                (bench.score, text, query), (_decoded_and_scored(bench.score), data, query),
                (_decoded, data, query), (peer.lexical_score_peer, text, query)])
            fresh = max(fresh - decode, 1.0)
            rows.append({"kind": kind, "bytes": len(data), "reused_ns": reused, "fresh_ns": fresh,
                         "decode_ns": decode, "peer_ns": peer_ns, "speedup_reused": peer_ns / reused,
                         "speedup_fresh": peer_ns / fresh, "fresh_x_reused": fresh / reused})
    from_1k = [r for r in rows if r["bytes"] >= 1000]
    worst = min(from_1k, key=lambda r: min(r["speedup_reused"], r["speedup_fresh"]))
    targets.check(f"scripts from 1 KiB (worst: {worst['kind']} {fmt_size(worst['bytes'])})",
                  "speed-up over peer", min(worst["speedup_reused"], worst["speedup_fresh"]), 5, True)
    from_4k = [r for r in rows if r["bytes"] >= 4000]
    if from_4k:
        worst = max(from_4k, key=lambda r: r["fresh_x_reused"])
        targets.check(f"scripts from 4 KiB (worst: {worst['kind']} {fmt_size(worst['bytes'])})",
                      "fresh / reused", worst["fresh_x_reused"], 1.25, False)
    return rows


def measure_lengths(bench, targets, sizes, block):
    rows = []
    for size in sizes:
        text = inputs.ascii_text(size, block)
        module, peer_ns, naive = bench.three(text, inputs.ASCII_QUERY)
        limit = bench.limit(text, 4)
        rows.append({"bytes": size, "module_ns": module, "peer_ns": peer_ns, "naive_ns": naive,
                     "module_ns_per_byte": module / size, "peer_ns_per_byte": peer_ns / size,
                     "limit_ns_per_byte": limit["limit_ns"] / size, "x_limit": module / limit["limit_ns"],
                     "speedup": peer_ns / module, **limit})
    per_byte = [r["module_ns_per_byte"] for r in rows]
    spread = max(per_byte) / min(per_byte)
    # The named cache effect: a text larger than the last-level cache comes
    # from main memory, which slows the machine's own limit as much (see its
    # column). The target is judged on the texts that fit; the spread over
    # all of them is reported beside it.
    cache = machine.last_level_cache_bytes()
    fitting = [r["module_ns_per_byte"] for r in rows if cache is None or r["bytes"] <= cache]
    in_cache = max(fitting) / min(fitting) if len(fitting) >= 2 else spread
    row = targets.check("text length", "ns/byte max/min, texts within the last-level cache", in_cache, 1.5,
                        False)
    return {"sizes": rows, "per_byte_spread": spread, "in_cache_spread": in_cache,
            "last_level_cache_bytes": cache, "target": row}


def measure_query_lengths(bench, text, words):
    rows = []
    for count in QUERY_WORDS:
        query = " ".join(words[:count])
        module, peer_ns = bench.many([(bench.score, text, query), (peer.lexical_score_peer, text, query)])
        rows.append({"words": count, "module_ns": module, "peer_ns": peer_ns, "speedup": peer_ns / module,
                     "module_ns_per_word": module / count})
    return {"text_bytes": len(text), "rows": rows}


def measure_adversarial(bench, targets, n):
    rows = []
    for name, make, needle in inputs.adversarial_cases():
        entry = {"name": name, "needle_bytes": len(needle)}
        texts = {"n": make(n), "2n": make(2 * n)}
        # n and 2n in the same rounds, so that their ratio is not a burst of
        # other work on the machine.
        module_n, module_2n, peer_n, peer_2n = bench.many(
            [(bench.score, texts["n"], needle), (bench.score, texts["2n"], needle),
             (peer.lexical_score_peer, texts["n"], needle), (peer.lexical_score_peer, texts["2n"], needle)])
        for key, size, module, peer_ns in (("n", n, module_n, peer_n), ("2n", 2 * n, module_2n, peer_2n)):
            text = texts[key]
            limit = bench.limit(text, 1)
            entry[key] = {"bytes": size, "module_ns": module, "peer_ns": peer_ns, "speedup": peer_ns / module,
                          "module_gbps": size / module, "peer_gbps": size / peer_ns,
                          "x_limit": module / limit["limit_ns"], **limit}
        entry["doubling"] = entry["2n"]["module_ns"] / entry["n"]["module_ns"]
        entry["peer_doubling"] = entry["2n"]["peer_ns"] / entry["n"]["peer_ns"]
        speedup = min(entry["n"]["speedup"], entry["2n"]["speedup"])
        rate = min(entry["n"]["module_gbps"], entry["2n"]["module_gbps"])
        entry["targets"] = [
            targets.check(f"adversarial {name}", "speed-up over peer", speedup, 2, True),
            targets.check(f"adversarial {name}", "GB/s", rate, 1.0, True, unit="GB/s"),
            targets.check(f"adversarial {name}", "time at 2n / n", entry["doubling"], 2.2, False),
        ]
        rows.append(entry)
    return rows


def _peak_of_subprocess(argv, env):
    """Runs argv; returns (its stdout, its peak resident size in KiB). The
    figure is ru_maxrss of the child's own resource usage, as wait4 reports
    it for that one child (the RUSAGE_CHILDREN figure of a process whose
    only child it is)."""
    with tempfile.TemporaryFile() as out:
        child = subprocess.Popen(argv, stdout=out, env=env)
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        text = out.read().decode()
    if child.returncode != 0:
        raise SystemExit(f"run.py: {' '.join(argv)} failed with status {child.returncode}")
    return text, usage.ru_maxrss


def measure_memory(targets, mib, env, blocks):
    rows = []
    with tempfile.TemporaryDirectory() as workdir:
        for kind, block in blocks.items():
            block_file = os.path.join(workdir, f"{kind}.txt")
            with open(block_file, "wb") as f:
                f.write(block.encode())
            entry = {"kind": kind, "mib": mib}
            for impl in ("module", "peer"):
                out, peak_kib = _peak_of_subprocess(
                    [sys.executable, os.path.join(HERE, "probe.py"), "memory", impl, kind, str(mib), block_file],
                    env)
                report = json.loads(out.strip().splitlines()[-1])
                if report["high_water_reset"]:
                    peak_kib = report["high_water_after_kib"]
                above = (peak_kib - report["baseline_kib"]) * 1024
                entry[impl] = {"peak_kib": peak_kib, **report, "x_text": above / report["utf8_bytes"]}
            if entry["module"]["score"] != entry["peer"]["score"]:
                raise SystemExit(f"run.py: on the {mib} MiB {kind} text the module scores "
                                 f"{entry['module']['score']!r} but the peer {entry['peer']['score']!r}")
            entry["target"] = targets.check(f"memory {mib} MiB {kind}", "peak above baseline / text size",
                                            entry["module"]["x_text"], 2.1, False, stretch=1.1)
            rows.append(entry)
    return rows


def measure_corpus(targets, count, env):
    """A resident corpus of 1 KiB chunks of every kind, each scored by a
    first and a second query, in a fresh process per implementation: time
    per chunk, and resident memory grown by the first query."""
    entry = {}
    for impl in ("module", "peer"):
        out, _ = _peak_of_subprocess([sys.executable, os.path.join(HERE, "probe.py"), "corpus", impl, str(count)],
                                     env)
        entry[impl] = json.loads(out.strip().splitlines()[-1])
    if entry["module"]["scores"] != entry["peer"]["scores"]:
        raise SystemExit("run.py: on the corpus the module and the peer score differently")
    module = entry["module"]
    entry["grown_x_corpus"] = module["grown_kib"] * 1024 / module["utf8_bytes"]
    entry["speedup_first"] = entry["peer"]["first_ns"] / module["first_ns"]
    entry["speedup_second"] = entry["peer"]["second_ns"] / module["second_ns"]
    entry["target"] = targets.check(f"corpus of {count} chunks", "resident memory grown / corpus UTF-8",
                                    entry["grown_x_corpus"], 0.02, False)
    return entry


def _instructions(impl, calls, env, workdir):
    out_file = os.path.join(workdir, f"callgrind.{impl}.{calls}")
    argv = ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out_file}",
            sys.executable, os.path.join(HERE, "probe.py"), "calls", impl, str(calls)]
    done = subprocess.run(argv, env=env, capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"run.py: callgrind failed:\n{done.stderr[-2000:]}")
    with open(out_file, encoding="utf-8") as f:
        for line in f:
            if line.startswith(("summary:", "totals:")):
                return int(line.split()[1])
    raise SystemExit(f"run.py: no instruction total in {out_file}")


def measure_callgrind(calls, env):
    if shutil.which("valgrind") is None:
        return {"skipped": "valgrind not found"}
    env = dict(env, PYTHONHASHSEED="0")
    result = {"calls": calls}
    with tempfile.TemporaryDirectory() as workdir:
        for impl in ("module", "peer", "floor"):
            fixed = _instructions(impl, 0, env, workdir)
            total = _instructions(impl, calls, env, workdir)
            result[impl] = {"instructions_per_call": (total - fixed) / calls, "fixed": fixed, "total": total}
    result["ratio"] = result["peer"]["instructions_per_call"] / result["module"]["instructions_per_call"]
    return result


# ---------------------------------------------------------------- batches
def import_batch():
    """(the corvane package, None), or (None, why) where it cannot be
    imported, as from a build that predates it."""
    try:
        import corvane
    except ImportError as error:
        return None, f"cannot import corvane: {error}"
    return corvane, None


def import_ahocorasick():
    """The ahocorasick_rs module (Debian's python3-ahocorasick-rs), or None."""
    try:
        import ahocorasick_rs
    except ImportError:
        return None
    return ahocorasick_rs


def _version_of(distribution):
    try:
        return importlib.metadata.version(distribution)
    except importlib.metadata.PackageNotFoundError:
        return None


def batch_corpus(kind, size, config):
    """The batch table's texts and query of one kind and size."""
    return (inputs.batch_texts(kind, size, config["batch_texts"], config["batch_source"]),
            inputs.batch_query(kind, config["batch_source"]))


def large_corpus(config):
    count, size = config["batch_large"]
    return inputs.batch_texts("mixed", size, count, 2 * size), inputs.batch_query("mixed", 2 * size)


def _automaton(aho, query):
    """An automaton of the query's lowercased words, standard matching (the
    kind that can report overlapping matches)."""
    return aho.AhoCorasick([word.lower() for word in peer.split_words(query)])


def _first_difference(got, want):
    if len(got) != len(want):
        return f"{len(got)} results for {len(want)} texts"
    i = next(i for i, (g, w) in enumerate(zip(got, want)) if g != w)
    return f"text {i}: {got[i]!r}, peer {want[i]!r}"


def _expected_extract(texts, scores, limit):
    best = sorted(range(len(texts)), key=lambda i: (-scores[i], i))[:limit]
    return [(texts[i], scores[i], i) for i in best]


def check_batch(corvane, config, aho):
    """Scores every batch of the table with the peer, a loop over
    lexical_score, score_many on one and on two threads and extract, before
    anything is timed. Returns a summary whose "mismatches" list is empty when
    all of them agree with the peer (exact float equality; extract: the best
    texts by the peer's scores, ties by index). The multi-pattern matcher
    answers another question (which words occur); its answer counted as a
    share of the query's words is compared with the peer's score, for the
    record only."""
    mismatches = []
    aho_agrees = aho_texts = 0

    def compare(label, query, texts, want):
        prepared = corvane.Query(query)
        got = {"lexical_score loop": [corvane.lexical_score(t, query) for t in texts],
               "score_many workers=1": prepared.score_many(texts, workers=1),
               f"score_many workers={BATCH_WORKERS}": prepared.score_many(texts, workers=BATCH_WORKERS)}
        for method, scores in got.items():
            if scores != want:
                mismatches.append({"input": label, "method": method, "difference": _first_difference(scores, want)})
        found = corvane.extract(query, texts, limit=EXTRACT_LIMIT, workers=BATCH_WORKERS)
        expected = _expected_extract(texts, want, EXTRACT_LIMIT)
        if found != expected:
            mismatches.append({"input": label, "method": "extract",
                               "difference": f"{[(s, i) for _, s, i in found]!r}, peer "
                                             f"{[(s, i) for _, s, i in expected]!r}"})

    for size in BATCH_SIZES:
        for kind in inputs.SCRIPT_KINDS:
            texts, query = batch_corpus(kind, size, config)
            want = [peer.lexical_score_peer(t, query) for t in texts]
            compare(f"batch {kind} {fmt_size(size)}", query, texts, want)
            if aho is not None:
                find = _automaton(aho, query).find_matches_as_indexes
                words = len(peer.split_words(query))
                for text, score in zip(texts, want):
                    found = len({m[0] for m in find(text.lower(), overlapping=True)})
                    aho_agrees += peer.float32_quotient(found, words) == score
                aho_texts += len(texts)
    texts, query = large_corpus(config)
    compare(f"{len(texts)} texts of {fmt_size(config['batch_large'][1])}", query, texts,
            [peer.lexical_score_peer(t, query) for t in texts])
    return {"mismatches": mismatches, "ahocorasick_share_equals_peer": aho_agrees,
            "ahocorasick_texts": aho_texts}


def _each(fn):
    """fn(text, query) on each text of a list, the results kept in a list,
    as a caller's own loop keeps them."""
    def call(texts, query, fn=fn):
        return [fn(text, query) for text in texts]
    return call


def _score_many(workers):
    def call(texts, prepared, workers=workers):
        return prepared.score_many(texts, workers=workers)
    return call


def _extract(extract):
    def call(texts, query, extract=extract):
        return extract(query, texts, limit=EXTRACT_LIMIT, workers=BATCH_WORKERS)
    return call


def _score_slice(task):
    """One task of the process pool: a slice of the corpus, scored in turn in
    a worker process."""
    texts, query = task
    import _corvane

    score = _corvane.lexical_score
    return [score(text, query) for text in texts]


def _pooled(pool, slices):
    """The corpus cut into `slices` slices, one pool task each, the scores
    joined again in order: sending the texts and the scores back is timed."""
    def call(texts, query, pool=pool, slices=slices):
        step = -(-len(texts) // slices)
        parts = pool.map(_score_slice, [(texts[i:i + step], query) for i in range(0, len(texts), step)],
                         chunksize=1)
        return list(itertools.chain.from_iterable(parts))
    return call


def _words_found(automaton):
    """For each text, the indexes of the query words that occur in it
    lowercased (overlapping matches): what a multi-pattern matcher answers."""
    def call(texts, _, find=automaton.find_matches_as_indexes):
        return [{match[0] for match in find(text.lower(), overlapping=True)} for text in texts]
    return call


def start_pool():
    """A pool of BATCH_WORKERS processes, started and warmed up (each has
    imported _corvane) before anything is timed.

    The context is forkserver, explicitly (it is the default on Linux from
    3.14 on, not before): the workers are forked from a server process that
    imports this file once, as __mp_main__, where the `__name__` guard keeps
    main() and so the corpus from being built again. Plain fork would copy
    this process with its corpus into every worker."""
    pool = multiprocessing.get_context(POOL_START_METHOD).Pool(BATCH_WORKERS)
    pool.map(_score_slice, [([inputs.TINY_TEXT], inputs.TINY_QUERY)] * (2 * BATCH_WORKERS), chunksize=1)
    return pool


BATCH_RATIOS = [
    # key, row label, higher is better, target for titles, target for chunks
    ("many1_x_loop", "score_many workers=1 speed-up over the loop", True, 2, 1.5),
    ("many2_x_many1", f"score_many workers={BATCH_WORKERS} speed-up over workers=1", True, 1.8, 1.8),
    ("many2_x_peer", f"score_many workers={BATCH_WORKERS} speed-up over the peer loop", True, 12, 12),
    ("extract_x_many2", f"extract time / score_many workers={BATCH_WORKERS} time", False, 1.1, 1.1),
    ("many2_x_pool", f"score_many workers={BATCH_WORKERS} speed-up over Pool({BATCH_WORKERS})", True, 2, 2),
    ("many2_x_aho", f"score_many workers={BATCH_WORKERS} speed-up over ahocorasick_rs", True, None, None),
]


def measure_batch(corvane, targets, config, aho, pool):
    """Each kind and size of batch scored every way in the same rounds: time
    per text, and the ratios that the targets judge on the worst kind."""
    settings = config["batch_timing"]
    cells = []
    for size in BATCH_SIZES:
        for kind in inputs.SCRIPT_KINDS:
            texts, query = batch_corpus(kind, size, config)
            prepared = corvane.Query(query)
            # Pickling a str leaves its UTF-8 form on it. The pool sends copies, so that every other method reads
            # the texts as they were decoded, in the same form in every round.
            sent = [text.encode().decode() for text in texts]
            calls = [(_each(peer.lexical_score_peer), texts, query), (_each(corvane.lexical_score), texts, query),
                     (_score_many(1), texts, prepared), (_score_many(BATCH_WORKERS), texts, prepared),
                     (_extract(corvane.extract), texts, query),
                     (_pooled(pool, BATCH_WORKERS * POOL_SLICES_PER_PROCESS), sent, query)]
            if aho is not None:
                calls.append((_words_found(_automaton(aho, query)), texts, None))
            times = [t.ns_per_call / len(texts) for t in timing.best_of_many(calls, settings)]
            ns = dict(zip([key for key, _ in BATCH_METHODS], times))
            cell = {"kind": kind, "bytes": size, "texts": len(texts), "query": query,
                    "words": len(peer.split_words(query)), "utf8_bytes": sum(len(t.encode()) for t in texts),
                    "ns_per_text": ns,
                    "many1_x_loop": ns["loop"] / ns["many1"], "many2_x_many1": ns["many1"] / ns["many2"],
                    "many2_x_peer": ns["peer"] / ns["many2"], "extract_x_many2": ns["extract"] / ns["many2"],
                    "many2_x_pool": ns["pool"] / ns["many2"]}
            if "aho" in ns:
                cell["many2_x_aho"] = ns["aho"] / ns["many2"]
            cells.append(cell)
            del texts, sent, calls
    judged = {}
    for size in BATCH_SIZES:
        rows = [c for c in cells if c["bytes"] == size]
        for key, what, higher, titles, chunks in BATCH_RATIOS:
            bound = titles if size < KIB else chunks
            if bound is None:
                continue
            worst = (min if higher else max)(rows, key=lambda c, key=key: c[key])
            judged[f"{key} {size}"] = targets.check(f"batch of {fmt_size(size)} texts (worst: {worst['kind']})",
                                                    what, worst[key], bound, higher)
    return {"texts": config["batch_texts"], "sizes": BATCH_SIZES, "kinds": inputs.SCRIPT_KINDS,
            "workers": BATCH_WORKERS, "pool_slices": BATCH_WORKERS * POOL_SLICES_PER_PROCESS,
            "pool_start_method": POOL_START_METHOD, "extract_limit": EXTRACT_LIMIT,
            "ahocorasick": {"installed": aho is not None,
                            "version": _version_of("ahocorasick-rs") if aho is not None else None},
            "settings": {"repeats": settings.repeats, "max_measure_ms": settings.max_measure_ns / 1e6},
            "cells": cells, "targets": judged}


def measure_large_batch(corvane, config):
    """A few large texts: a loop over lexical_score and score_many on one and
    on two threads, in the same rounds."""
    texts, query = large_corpus(config)
    prepared = corvane.Query(query)
    loop, one, two = timing.best_of_many([(_each(corvane.lexical_score), texts, query),
                                          (_score_many(1), texts, prepared),
                                          (_score_many(BATCH_WORKERS), texts, prepared)], config["batch_timing"])
    count, utf8 = len(texts), sum(len(t.encode()) for t in texts)
    result = {"kind": "mixed", "texts": count, "bytes": config["batch_large"][1], "utf8_bytes": utf8,
              "query": query}
    for key, t in (("loop", loop), ("many1", one), ("many2", two)):
        result[key] = {"ns_per_text": t.ns_per_call / count, "gbps": utf8 / t.ns_per_call}
    result["many1_x_loop"] = loop.ns_per_call / one.ns_per_call
    result["many2_x_many1"] = one.ns_per_call / two.ns_per_call
    return result


def measure_batch_memory(targets, config, env):
    """Resident memory added by one score_many over the 1 KiB mixed corpus,
    in a fresh subprocess per number of threads, against the size of the list
    of scores it returns plus 1 MiB per thread."""
    rows = []
    for workers in (1, BATCH_WORKERS):
        out, peak_kib = _peak_of_subprocess(
            [sys.executable, os.path.join(HERE, "probe.py"), "batch", str(workers), str(config["batch_texts"]),
             str(config["batch_source"])], env)
        report = json.loads(out.strip().splitlines()[-1])
        if not report["agrees"]:
            raise SystemExit(f"run.py: in the batch memory probe score_many(workers={workers}) differs from a loop "
                             "over lexical_score")
        added = report["high_water_after_kib"] - report["baseline_kib"]
        allowed = report["result_list_bytes"] / KIB + workers * KIB
        entry = {"workers": workers, "process_peak_kib": peak_kib, **report, "added_kib": added,
                 "allowed_kib": allowed}
        entry["target"] = targets.check(f"batch memory, {report['texts']} texts, workers={workers}",
                                        "resident memory added", added / KIB, round(allowed / KIB, 2), False,
                                        unit="MiB")
        rows.append(entry)
    return rows


# ---------------------------------------------------------------- the report
def print_batch(B, agreement):
    if "skipped" in B:
        print(f"\nBatch scoring: skipped ({B['skipped']})")
        return
    kinds = B["kinds"]
    installed = B["ahocorasick"]["installed"]
    for size in B["sizes"]:
        cells = [e for e in B["cells"] if e["bytes"] == size]
        rows = []
        for key, label in BATCH_METHODS:
            if key in cells[0]["ns_per_text"]:
                rows.append([label] + [fmt_time(e["ns_per_text"][key]) for e in cells])
            elif key == "aho" and not installed:
                rows.append([label, "not installed"] + [""] * (len(kinds) - 1))
        print_table(f"Batch of {B['texts']} texts of {fmt_size(size)} of each kind (one query per kind, "
                    f"{min(e['words'] for e in cells)}-{max(e['words'] for e in cells)} words, some present), "
                    "time per text", ["method"] + kinds, rows)
    print(f"  each figure the best of up to {B['settings']['repeats']} passes over the texts, every method in the same "
          "rounds; loops: a list comprehension in the caller; Pool: "
          f"{B['pool_start_method']} processes started before timing, the texts in {B['pool_slices']} slices, one "
          "task each, sending the texts and getting the scores back timed (copies of the texts: pickling leaves a "
          "UTF-8 form on each str it sends)")
    if installed:
        print(f"  * ahocorasick_rs {B['ahocorasick']['version'] or ''}: a different result model, the set of query "
              "words whose lowercased form occurs in text.lower() (one automaton of the words, overlapping "
              "matches), not the score; counted as a share of the words it equals the peer's score on "
              f"{agreement.get('ahocorasick_share_equals_peer', 0)} of {agreement.get('ahocorasick_texts', 0)} texts")
    else:
        print("  * ahocorasick_rs (Debian's python3-ahocorasick-rs) is not installed")

    rows = []
    for key, what, higher, titles, chunks in BATCH_RATIOS:
        if key == "many2_x_aho" and not installed:
            continue
        for size in B["sizes"]:
            cells = [e for e in B["cells"] if e["bytes"] == size]
            values = [e[key] for e in cells]
            judged = B["targets"].get(f"{key} {size}")
            goal = "no target" if judged is None else \
                f"{verdict(judged)} ({'>=' if higher else '<='}{judged['target']}x)"
            worst = min(values) if higher else max(values)
            rows.append([what, fmt_size(size)] + [f"{v:.2f}x" for v in values] + [f"{worst:.2f}x", goal])
    print_table("Batch ratios (from the tables above; a target is judged on the worst kind)",
                ["ratio", "texts"] + kinds + ["worst", "target"], rows)

    if "large" in B:
        L = B["large"]
        rows = [[label, fmt_time(L[key]["ns_per_text"]), f"{L[key]['gbps']:.2f}",
                 f"{L['many1_x_loop']:.2f}x" if key == "many1" else "",
                 f"{L['many2_x_many1']:.2f}x" if key == "many2" else ""]
                for key, label in (("loop", "lexical_score loop"), ("many1", "score_many workers=1"),
                                   ("many2", f"score_many workers={B['workers']}"))]
        print_table(f"Large texts ({L['texts']} {L['kind']} texts of {fmt_size(L['bytes'])}), time per text",
                    ["method", "per text", "GB/s", "x loop", "x workers=1"], rows)

    if "memory" in B:
        rows = [[str(e["workers"]), str(e["texts"]), f"{e['baseline_kib'] / KIB:.1f} MiB",
                 f"{e['high_water_after_kib'] / KIB:.1f} MiB", f"{e['added_kib'] / KIB:.2f} MiB",
                 f"{e['result_list_bytes'] / MIB:.2f} MiB", f"{e['allowed_kib'] / KIB:.2f} MiB",
                 verdict(e["target"])] for e in B["memory"]]
        print_table("Batch memory (fresh subprocess, one score_many over the 1 KiB mixed texts; added = resident "
                    "high-water after the call above the resident size before it)",
                    ["workers", "texts", "resident before", "high-water after", "added", "result list",
                     "allowed", "target"], rows)
        if not all(e["high_water_reset"] for e in B["memory"]):
            print("  note: the high-water mark could not be reset before the call, so the added figure may "
                  "include an earlier peak")


def print_report(r):
    m, i, b = r["machine"], r["interpreter"], r["module"]["build"]
    print(f"_corvane.lexical_score benchmark ({r['mode']} run, {r['seconds']:.0f} s)")
    print(f"  machine:     {m['model']}, {m['cores']} cores ({m['usable_cores']} usable), {m['system']}")
    print(f"  interpreter: {i['implementation']} {i['version']} ({i['build']})")
    print(f"  module:      {r['module']['path']}")
    if b["compiler"] is None:
        print(f"  built with:  unknown (no CMakeCache.txt in {b['build_dir']})")
    else:
        print(f"  built with:  {b['compiler']} ({b.get('compiler_id') or '?'}), {b['build_type']}, "
              f"CMAKE_CXX_FLAGS[_{b['build_type'].upper()}]: {b['flags'] or '(none)'}")
        if b.get("scoring_compile_flags"):
            print(f"  scoring core compiled with: {b['scoring_compile_flags']}")
    if not r["module"]["from_build_dir"]:
        print(f"  note: the imported module is not in {b['build_dir']}/python; the flags above may not be its own")
    load = r["load_average"]
    print(f"  load:        {load['start'][0]:.2f} at the start, {load['end'][0]:.2f} at the end "
          f"(1-minute load average; above about 0.5 other work shares the cores and the times are noisy)")
    s = r["settings"]
    print(f"  timing:      best of {s['repeats']} loops of >= {s['min_loop_ms']} ms each (perf_counter_ns, gc off), "
          "the figures compared in one table row timed in the same rounds; loop overhead included")
    a = r["agreement"]
    print(f"  agreement:   module == peer on all {a['inputs']} inputs (exact float equality); "
          f"the naive str.split() peer differs on {a['naive_split_differs']}")
    if "batch" in a:
        print("               and on every text of the batch tables: the loop, score_many on 1 and "
              f"{BATCH_WORKERS} threads, extract's best {EXTRACT_LIMIT}")

    c = r["cases"]
    rows = []
    t = c["tiny"]
    rows.append(["tiny call", fmt_time(t["module_ns"]), fmt_time(t["peer_ns"]), fmt_time(t["naive_ns"]),
                 f"{t['speedup']:.1f}x", "", "", verdict(t["target"]) + " (>=10x)"])
    for key, label, goal in (("ascii", "ASCII 1 MiB, 4 absent words", ">=20x, <=2.5x limit"),
                             ("greek", "Greek 1 MiB, 3 words", ">=5x (10x)"),
                             ("cyrillic", "Cyrillic 1 MiB, 3 words", ">=5x (10x)")):
        p = c[key]
        judged = verdict(p["speedup_target"])
        if "limit_target" in p:
            judged += " / " + p["limit_target"]["result"]
        rows.append([label, fmt_time(p["module_ns"]), fmt_time(p["peer_ns"]), fmt_time(p["naive_ns"]),
                     f"{p['speedup']:.1f}x", fmt_time(p["limit_ns"]), f"{p['x_limit']:.2f}x",
                     f"{judged} ({goal})"])
    u = c["ascii_unseen"]
    rows.append([f"ASCII 1 MiB, {u['texts']} texts in turn", fmt_time(u["module_ns"]), fmt_time(u["peer_ns"]), "",
                 f"{u['speedup']:.1f}x", fmt_time(u["limit_ns"]), f"{u['x_limit']:.2f}x", "(no target)"])
    print_table("Single calls (time per call; limit = 1 memcpy + one memchr per word over the UTF-8 bytes)",
                ["case", "module", "peer", "naive peer", "speed-up", "limit", "x limit", "target"], rows)
    print(f"  tiny call floor: the same loop calling operator.is_(text, query) takes {fmt_time(t['call_floor_ns'])}; "
          f"10x the peer needs {fmt_time(t['peer_ns'] / 10)}")
    for key in ("ascii", "greek", "cyrillic"):
        p = c[key]
        print(f"  {key}: {fmt_rate(p['utf8_bytes'], p['module_ns'])} module, "
              f"memcpy {fmt_rate(p['utf8_bytes'], p['memcpy_ns'])}, memchr {fmt_rate(p['utf8_bytes'], p['memchr_ns'])}")

    L = c["text_length"]
    rows = [[fmt_size(s["bytes"]), fmt_time(s["module_ns"]), f"{s['module_ns_per_byte']:.3f}",
             f"{s['peer_ns_per_byte']:.3f}", f"{s['limit_ns_per_byte']:.3f}",
             f"{s['fresh_copy_ns'] / s['bytes']:.3f}", f"{s['speedup']:.1f}x",
             f"{s['x_limit']:.2f}x"] for s in L["sizes"]]
    cache = L.get("last_level_cache_bytes")
    within = f"within the {fmt_size(cache)} last-level cache " if cache else ""
    print_table(f"Text length (ASCII prose, 4 absent words): module ns/byte varies {L['in_cache_spread']:.2f}x "
                f"{within}({L['per_byte_spread']:.2f}x over all sizes), {verdict(L['target'])} (<=1.5x)",
                ["text", "module", "module ns/B", "peer ns/B", "limit ns/B", "fresh copy ns/B", "speed-up",
                 "x limit"], rows)
    print("  limit = memcpy into a buffer in use + 4 memchr; fresh copy = allocate, fault in and fill a new buffer")

    Q = c["query_length"]
    rows = [[str(q["words"]), fmt_time(q["module_ns"]), fmt_time(q["peer_ns"]), f"{q['speedup']:.1f}x",
             fmt_time(q["module_ns_per_word"])] for q in Q["rows"]]
    print_table(f"Query length ({fmt_size(Q['text_bytes'])} ASCII prose, absent made-up words of common letters)",
                ["words", "module", "peer", "speed-up", "module per word"], rows)

    rows = []
    for e in c["adversarial"]:
        for key in ("n", "2n"):
            x = e[key]
            rows.append([f"{e['name']} @ {fmt_size(x['bytes'])}", fmt_time(x["module_ns"]), fmt_time(x["peer_ns"]),
                         f"{x['speedup']:.1f}x", f"{x['module_gbps']:.2f}", f"{x['peer_gbps']:.2f}",
                         f"{x['x_limit']:.2f}x",
                         f"{e['doubling']:.2f}x" if key == "2n" else "",
                         " / ".join(t["result"] for t in e["targets"]) if key == "2n" else ""])
    print_table("Adversarial needles (one 1000-byte word, never found; targets >=2x peer / >=1 GB/s / 2n:n <=2.2x)",
                ["case", "module", "peer", "speed-up", "module GB/s", "peer GB/s", "x limit", "2n : n", "targets"],
                rows)

    if "scripts" in c:
        rows = [[f"{e['kind']} {fmt_size(e['bytes'])}", fmt_time(e["reused_ns"]), fmt_time(e["fresh_ns"]),
                 fmt_time(e["peer_ns"]), f"{e['speedup_reused']:.1f}x", f"{e['speedup_fresh']:.1f}x",
                 f"{e['fresh_x_reused']:.2f}x"] for e in c["scripts"]]
        print_table("Kinds of text (4 words, 2 present; reused str / str freshly decoded for each call, decoding "
                    "subtracted / peer on the reused str)",
                    ["text", "reused", "fresh", "peer", "speed-up reused", "speed-up fresh", "fresh / reused"],
                    rows)

    if "corpus" in c:
        e = c["corpus"]
        m, p = e["module"], e["peer"]
        print_table(f"Resident corpus ({m['chunks']} chunks of about 1 KiB, every kind; "
                    f"{fmt_size(m['utf8_bytes'])} UTF-8), time per chunk",
                    ["query", "module", "peer", "speed-up", "memory grown by it", "x corpus"],
                    [["first", fmt_time(m["first_ns"]), fmt_time(p["first_ns"]), f"{e['speedup_first']:.1f}x",
                      f"{m['grown_kib'] / 1024:.1f} MiB", f"{e['grown_x_corpus']:.3f}x {verdict(e['target'])}"],
                     ["second", fmt_time(m["second_ns"]), fmt_time(p["second_ns"]),
                      f"{e['speedup_second']:.1f}x", "", ""]])

    if "memory" in c:
        rows = []
        for e in c["memory"]:
            for impl in ("module", "peer"):
                x = e[impl]
                rows.append([f"{e['kind']} {fmt_size(x['utf8_bytes'])} UTF-8, {impl}",
                             f"{x['baseline_kib'] / 1024:.1f} MiB", f"{x['peak_kib'] / 1024:.1f} MiB",
                             f"{(x['peak_kib'] - x['baseline_kib']) / 1024:.1f} MiB", f"{x['x_text']:.2f}x",
                             f"{verdict(e['target'])} (<=2.1x, 1.1x)" if impl == "module" else ""])
        print_table("Peak memory (a fresh subprocess; baseline = its resident size after building the text; peak = "
                    "its high-water mark, lowered to the baseline before the call where Linux allows, else its "
                    "largest resident size)", ["case", "baseline", "peak", "above baseline", "x text", "target"],
                    rows)

    if "batch" in c:
        print_batch(c["batch"], r["agreement"].get("batch", {}))

    if "callgrind" in c:
        g = c["callgrind"]
        if "skipped" in g:
            print(f"\nInstruction count: skipped ({g['skipped']})")
        else:
            print(f"\nInstructions per tiny call (callgrind, {g['calls']} calls minus 0 calls, includes the "
                  "interpreter's call and loop):")
            floor = g["floor"]["instructions_per_call"]
            print(f"  module {g['module']['instructions_per_call']:.0f}, peer {g['peer']['instructions_per_call']:.0f}"
                  f" ({g['ratio']:.1f}x); the loop and a call of operator.is_ alone: {floor:.0f}, so the module's "
                  f"own share is {g['module']['instructions_per_call'] - floor:.0f}")

    print("\nTargets")
    missed = [t for t in r["targets"] if t["result"] == "MISS"]
    for t in r["targets"]:
        sign = ">=" if t["higher_is_better"] else "<="
        unit = "" if t["unit"] == "x" else " "
        print(f"  {t['result']}  {t['case']}: {t['what']} {t['measured']:.2f}{unit}{t['unit']} "
              f"(target {sign} {t['target']}{unit}{t['unit']}"
              + (f", stretch {t['stretch']}{t['unit']}: {t['stretch_result']}" if "stretch" in t else "") + ")")
    print(f"  {len(r['targets']) - len(missed)} of {len(r['targets'])} met")


# ---------------------------------------------------------------- main
def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="small sizes and few repeats (smoke run)")
    parser.add_argument("--json", metavar="OUT", help="figures as JSON (default BUILD_DIR/benchmark.json)")
    parser.add_argument("--plot", metavar="OUT", help="plot as PNG (default BUILD_DIR/benchmark.png)")
    parser.add_argument("--no-plot", action="store_true", help="write no plot")
    parser.add_argument("--build-dir", default="build", help="CMake build directory of the module (default build)")
    parser.add_argument("--no-callgrind", action="store_true", help="skip the instruction count")
    parser.add_argument("--no-memory", action="store_true", help="skip the peak-memory subprocesses")
    parser.add_argument("--no-batch", action="store_true", help="skip the batch table (corvane's batch API)")
    return parser.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    started = time.monotonic()
    load_at_start = os.getloadavg()
    config = QUICK if args.quick else FULL
    settings = config["timing"]
    build_dir = os.path.abspath(args.build_dir)
    corvane = import_module(build_dir)
    score = corvane.lexical_score
    module_dir = os.path.dirname(os.path.abspath(corvane.__file__))
    child_env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        [module_dir] + [p for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p]))

    # The inputs, made once.
    block = inputs.ascii_block()
    greek, cyrillic = inputs.greek_block(), inputs.cyrillic_block()
    query_text = inputs.ascii_text(config["query_text"], block)
    made_up = inputs.absent_words(max(QUERY_WORDS), query_text)
    n = config["adversarial_n"]
    workload = [("tiny", inputs.TINY_TEXT, inputs.TINY_QUERY),
                ("ascii 1 MiB", block, inputs.ASCII_QUERY),
                ("greek 1 MiB", greek, inputs.GREEK_QUERY),
                ("cyrillic 1 MiB", cyrillic, inputs.CYRILLIC_QUERY)]
    workload += [(f"ascii {fmt_size(s)}", inputs.ascii_text(s, block), inputs.ASCII_QUERY) for s in config["lengths"]]
    workload += [(f"{k} words", query_text, " ".join(made_up[:k])) for k in QUERY_WORDS]
    for kind in inputs.SCRIPT_KINDS:
        for size in config["script_sizes"]:
            text = inputs.script_text(kind, size)
            workload.append((f"{kind} {fmt_size(size)}", text, inputs.script_query(kind, text)))
    workload += [(f"{name} @ {fmt_size(size)}", make(size), needle)
                 for name, make, needle in inputs.adversarial_cases() for size in (n, 2 * n)]
    # Each adversarial needle also found, once, at the end of its text.
    workload += [(f"{name} found", make(n // 4) + needle, needle) for name, make, needle in inputs.adversarial_cases()]

    print("checking that the module and the peer agree ...", file=sys.stderr, flush=True)
    agreement = check_agreement(score, agreement_cases(workload))
    if agreement["mismatches"] or agreement["peer_faults"] or not agreement["float32_rounding_exact"]:
        print("run.py: the module and the peer DISAGREE; nothing was timed.", file=sys.stderr)
        for m in agreement["mismatches"][:20]:
            print(f"  {m['input'][:100]}: module {m['module']}, peer {m['peer']}", file=sys.stderr)
        for f in agreement["peer_faults"]:
            print(f"  peer fault on {f['input']}: {f['peer']} (expected {f['expected']})", file=sys.stderr)
        if not agreement["float32_rounding_exact"]:
            print("  the peer's single-precision rounding is not exact", file=sys.stderr)
        return 1
    del workload
    batch_api, batch_skipped = (None, "not asked for (--no-batch)") if args.no_batch else import_batch()
    aho = import_ahocorasick() if batch_api is not None else None
    if batch_api is not None:
        print("checking that the batch API and the peer agree ...", file=sys.stderr, flush=True)
        agreement["batch"] = check_batch(batch_api, config, aho)
        if agreement["batch"]["mismatches"]:
            print("run.py: the batch API and the peer DISAGREE; nothing was timed.", file=sys.stderr)
            for m in agreement["batch"]["mismatches"][:20]:
                print(f"  {m['input']}, {m['method']}: {m['difference'][:200]}", file=sys.stderr)
            return 1

    targets = Targets()
    cases = {}
    batch_memory = None
    if not args.no_callgrind:
        print("counting instructions (callgrind) ...", file=sys.stderr, flush=True)
        cases["callgrind"] = measure_callgrind(config["callgrind_calls"], child_env)
    if not args.no_memory:
        print("measuring peak memory ...", file=sys.stderr, flush=True)
        cases["memory"] = measure_memory(targets, config["memory_mib"], child_env,
                                         {"ascii": block, "greek": greek})
        print("measuring a resident corpus ...", file=sys.stderr, flush=True)
        cases["corpus"] = measure_corpus(targets, config["corpus_chunks"], child_env)
        if batch_api is not None:
            print("measuring the memory of a batch ...", file=sys.stderr, flush=True)
            batch_memory = measure_batch_memory(targets, config, child_env)
    print("timing ...", file=sys.stderr, flush=True)
    bench = Bench(score, settings)
    cases["tiny"] = measure_tiny(bench, targets)
    cases["ascii"] = measure_prose(bench, targets, "ASCII 1 MiB", block, inputs.ASCII_QUERY, 4, 20,
                                   limit_target=2.5)
    cases["ascii_unseen"] = measure_unseen(bench, inputs.ascii_blocks(8), inputs.ASCII_QUERY, 4)
    cases["greek"] = measure_prose(bench, targets, "Greek 1 MiB", greek, inputs.GREEK_QUERY, 3, 5, stretch=10)
    cases["cyrillic"] = measure_prose(bench, targets, "Cyrillic 1 MiB", cyrillic, inputs.CYRILLIC_QUERY, 3, 5,
                                      stretch=10)
    cases["text_length"] = measure_lengths(bench, targets, config["lengths"], block)
    cases["query_length"] = measure_query_lengths(bench, query_text, made_up)
    cases["adversarial"] = measure_adversarial(bench, targets, n)
    cases["scripts"] = measure_scripts(bench, targets, config["script_sizes"])
    if batch_api is not None:
        print("timing batches ...", file=sys.stderr, flush=True)
        pool = start_pool()
        try:
            cases["batch"] = measure_batch(batch_api, targets, config, aho, pool)
        finally:
            pool.terminate()
            pool.join()
        cases["batch"]["large"] = measure_large_batch(batch_api, config)
        if batch_memory is not None:
            cases["batch"]["memory"] = batch_memory
    else:
        cases["batch"] = {"skipped": batch_skipped}

    results = {
        "mode": "quick" if args.quick else "full",
        "seconds": time.monotonic() - started,
        "load_average": {"start": load_at_start, "end": os.getloadavg()},
        "machine": machine.cpu(),
        "interpreter": machine.interpreter(),
        "module": {"path": corvane.__file__, "build": machine.build(build_dir),
                   "from_build_dir": module_dir == os.path.join(build_dir, "python")},
        "settings": {"repeats": settings.repeats, "min_loop_ms": settings.min_loop_ns / 1e6,
                     "max_measure_ms": settings.max_measure_ns / 1e6},
        "agreement": agreement,
        "cases": cases,
        "targets": targets.rows,
    }
    print_report(results)

    json_path = args.json or os.path.join(build_dir, "benchmark.json")
    os.makedirs(os.path.dirname(os.path.abspath(json_path)), exist_ok=True)
    with open(json_path, "w", encoding="utf-8") as f:
        json.dump(results, f, indent=1)
    print(f"\nfigures: {json_path}")
    if not args.no_plot:
        import plot

        plot_path = args.plot or os.path.join(build_dir, "benchmark.png")
        plot.draw(results, plot_path)
        print(f"plot:    {plot_path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
