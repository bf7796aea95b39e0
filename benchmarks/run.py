#!/usr/bin/env python3.14
"""Speed and memory of `_corvane.lexical_score`, against a pure-Python peer
with exactly its results and against the machine's memcpy/memchr limits,
all measured in one run on the same inputs.

    python3.14 benchmarks/run.py [--quick] [--json OUT] [--plot OUT | --no-plot]
                                 [--build-dir DIR] [--no-callgrind] [--no-memory]

The module is imported from PYTHONPATH (or DIR/python). Before anything is
timed, the module and the peer must give the same float on every input; the
run stops with status 1 otherwise. It prints one table of figures with the
targets as PASS/MISS, writes the figures as JSON (default DIR/benchmark.json)
and plots them (default DIR/benchmark.png). --quick uses small sizes and few
repeats, for a smoke run of well under a minute. Missing a target does not
change the exit status: this is a measurement, not a test.
"""

import argparse
import json
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
}
QUERY_WORDS = [1, 2, 4, 8, 16, 32, 64]


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


# ---------------------------------------------------------------- the report
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
                             f"{x['baseline_kib'] / 1024:.1f} MiB", f"{x['peak_before_kib'] / 1024:.1f} MiB",
                             f"{x['peak_kib'] / 1024:.1f} MiB",
                             f"{(x['peak_kib'] - x['baseline_kib']) / 1024:.1f} MiB", f"{x['x_text']:.2f}x",
                             f"{verdict(e['target'])} (<=2.1x, 1.1x)" if impl == "module" else ""])
        print_table("Peak memory (max resident size of a fresh subprocess; baseline = after building the text)",
                    ["case", "baseline", "peak before call", "peak", "above baseline", "x text", "target"], rows)

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

    targets = Targets()
    cases = {}
    if not args.no_callgrind:
        print("counting instructions (callgrind) ...", file=sys.stderr, flush=True)
        cases["callgrind"] = measure_callgrind(config["callgrind_calls"], child_env)
    if not args.no_memory:
        print("measuring peak memory ...", file=sys.stderr, flush=True)
        cases["memory"] = measure_memory(targets, config["memory_mib"], child_env,
                                         {"ascii": block, "greek": greek})
        print("measuring a resident corpus ...", file=sys.stderr, flush=True)
        cases["corpus"] = measure_corpus(targets, config["corpus_chunks"], child_env)
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
