#!/usr/bin/env python3.14
"""Measures how ranking a corpus scales out: in this process, on one thread
or on several, in a local process pool and on a local Dask cluster.

    python3.14 examples/scale_benchmark.py [--size-mib 200] [--workers 2]
                                           [--repeat 3] [--json PATH]

Generates the corpus (once; it is kept in --corpus, build-scale-corpus/ in
the work tree by default, where the host's shell sees it too, and reused
while its parameters match; the summary names the folder, to delete when
done), reads it once so that every run
finds it in the page cache, then times `paragraph_ranking.rank_files` over
the whole corpus in four ways, taking turns (each round starting with the
next way), best of --repeat runs each:

- in process: one task in this process, scoring on one thread;
- threads: --workers threads of this process taking the tasks in turn
  (what `rank.py --threads` does);
- pool: a ProcessPoolExecutor of --workers processes;
- cluster: a LocalCluster of --workers single-thread worker processes.

The pool and the cluster are started, and warmed up with one untimed run,
before timing. Prints each way's throughput in MiB/s and its ratio to the
in-process figure, and checks that all four rankings are equal.

How far more processes can help depends on the machine, so the same run
measures three loops on their own, once in this process and once in each of
--workers pool processes at the same time, and prints how much throughput
the processes gave together (the ratio):

- a pure-Python loop, which needs only a core: its ratio is about the
  number of cores that were free for the run;
- a scan of 256 MiB (bytes.find of an absent byte), which needs the memory
  bus: its ratio is how much more bandwidth several processes get than one;
- lexical_score on a 64 MiB text, larger than the last-level cache: how the
  module's own loop scales.

The ranking spends much of its time in Python (reading, splitting the
paragraphs, keeping the best) on paragraphs that the cache holds, so across
processes it scales about like the pure-Python loop; lexical_score on texts
larger than the cache is bound by the memory bus and scales like the memory
scan, which two processes share. Threads run only the scoring at the same
time, as it releases the interpreter; the Python part (decoding and
splitting the files above all) runs on one of them at a time, so they gain
less than processes unless the scoring dominates. Other work
on the machine takes from all of them: the load averages printed show how
much there was.
"""

from __future__ import annotations

import argparse
import json
import os
import sys
import time
from collections.abc import Callable
from concurrent.futures import ProcessPoolExecutor

import make_corpus
import paragraph_ranking as ranking

QUERY = "İSTANBUL straße ΟΔΟΣ cat ville улица"
TOP = 10


def corpus_paths(directory: str, size_mib: float, files: int, seed: int) -> list[str]:
    """The corpus files, written first unless they are already there."""
    stamp = os.path.join(directory, "PARAMETERS")
    wanted = json.dumps({"size_mib": size_mib, "files": files, "seed": seed,
                         "generator": os.path.getmtime(make_corpus.__file__)})
    names = [os.path.join(directory, make_corpus.file_name(i)) for i in range(files)]
    try:
        with open(stamp, encoding="utf-8") as stream:
            if stream.read() == wanted and all(os.path.exists(n) for n in names):
                return names
    except OSError:
        pass
    print(f"writing a {size_mib:g} MiB corpus of {files} files to {directory} ...",
          file=sys.stderr, flush=True)
    paths = make_corpus.write_corpus(directory, files, 0, seed, size_mib)
    with open(stamp, "w", encoding="utf-8") as stream:
        stream.write(wanted)
    return paths


MIB = 1 << 20
LOOP_SECONDS = 0.5


def python_loop() -> None:
    total = 0
    for number in range(3_000_000):
        total += number * number


def memory_scan_loop() -> Callable[[], None]:
    buffer = b"\x02" * (256 * MIB)  # written, so every page is real

    def scan() -> None:
        buffer.find(b"\x01")
    return scan


def lexical_score_loop() -> Callable[[], None]:
    from _corvane import lexical_score
    line = "the harbour ferry waits near the old stone bridge in the evening rain\n"
    text = line * (64 * MIB // len(line))

    def score() -> None:
        lexical_score(text, "zeppelin quixotic")
    return score


BASELINES = {
    "python_loop": ("pure-Python loop", lambda: python_loop),
    "memory_scan": ("256 MiB memory scan", memory_scan_loop),
    "lexical_score": ("lexical_score, 64 MiB", lexical_score_loop),
}


def time_baseline(name: str, rounds: int) -> float:
    """Seconds for `rounds` runs of a baseline loop (its setup untimed)."""
    loop = BASELINES[name][1]()
    loop()
    started = time.perf_counter()
    for _ in range(rounds):
        loop()
    return time.perf_counter() - started


def measure_baselines(pool: ProcessPoolExecutor, workers: int) -> dict[str, float]:
    """Each baseline's throughput in `workers` pool processes at once over
    its throughput in this process alone."""
    ratios = {}
    for name in BASELINES:
        once = time_baseline(name, 1)
        rounds = max(1, round(LOOP_SECONDS / max(once, 1e-6)))
        alone = time_baseline(name, rounds)
        together = list(pool.map(time_baseline, [name] * workers, [rounds] * workers))
        # The slowest process sets the figure, so time when fewer than all
        # of them ran at once does not flatter it.
        ratios[name] = round(workers * alone / max(together), 3)
    return ratios


def positive_int(text: str) -> int:
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1: {text!r}")
    return value


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog="scale_benchmark.py", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--size-mib", type=float, default=200.0, metavar="MIB",
                        help="corpus size in MiB (default %(default)s)")
    parser.add_argument("--files", type=positive_int, default=64, metavar="N",
                        help="number of corpus files (default %(default)s)")
    parser.add_argument("--seed", type=int, default=2026,
                        help="seed of the corpus generator (default %(default)s)")
    parser.add_argument("--corpus", metavar="DIR",
                        default=os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                             "build-scale-corpus"),
                        help="where the corpus is kept and reused (default %(default)s)")
    parser.add_argument("--workers", type=positive_int, default=2, metavar="N",
                        help="threads of the threaded run, processes of the pool "
                             "and workers of the cluster (default %(default)s)")
    parser.add_argument("--repeat", type=positive_int, default=3, metavar="N",
                        help="timed runs of each way, the best counts (default %(default)s)")
    parser.add_argument("--json", metavar="PATH", help="also write the figures here, as JSON")
    return parser


def main(argv: list[str]) -> int:
    arguments = build_parser().parse_args(argv)

    paths = corpus_paths(arguments.corpus, arguments.size_mib, arguments.files, arguments.seed)
    size = sum(os.path.getsize(p) for p in paths) / make_corpus.MIB
    for path in paths:
        with open(path, "rb") as stream:
            while stream.read(1 << 24):
                pass
    workers, repeat = arguments.workers, arguments.repeat
    load_before = os.getloadavg()[0]
    partitions = workers * ranking.PARTITIONS_PER_SLOT

    import logging
    logging.getLogger("distributed").setLevel(logging.ERROR)
    from distributed import Client, LocalCluster

    with ProcessPoolExecutor(max_workers=workers) as pool, \
            LocalCluster(n_workers=workers, processes=True, threads_per_worker=1,
                         dashboard_address=None, host="127.0.0.1") as cluster, \
            Client(cluster) as client:
        on_cluster = ranking.cluster_submit(client, upload=False)
        ways = {
            "in_process": lambda: ranking.rank_files(paths, QUERY, TOP,
                                                     ranking.submit_in_process),
            "threads": lambda: ranking.rank_in_threads(paths, QUERY, TOP, workers),
            "pool": lambda: ranking.rank_files(paths, QUERY, TOP, pool.submit, partitions),
            "cluster": lambda: ranking.rank_files(paths, QUERY, TOP, on_cluster, partitions),
        }
        ways["pool"]()
        ways["cluster"]()
        baselines = measure_baselines(pool, workers)
        # The ways take turns, and each round starts with the next one, so
        # that a load from elsewhere on the machine (or the position in the
        # round) weighs on all of them alike; each keeps its best time.
        seconds = dict.fromkeys(ways, float("inf"))
        results: dict[str, list[ranking.Ranked]] = {}
        order = list(ways.items())
        for round_number in range(repeat):
            shift = round_number % len(order)
            for way, rank in order[shift:] + order[:shift]:
                started = time.perf_counter()
                results[way] = rank()
                seconds[way] = min(seconds[way], time.perf_counter() - started)

    same = (results["threads"] == results["pool"] == results["in_process"]
            == results["cluster"])
    figures = {
        "corpus_mib": round(size, 2), "files": len(paths), "workers": workers,
        "repeat": repeat, "cpus": os.cpu_count(), "rankings_equal": same,
        # Other work on the machine skews the ratios; these show how much there was.
        "load_average_before": round(load_before, 2),
        "load_average_after": round(os.getloadavg()[0], 2),
        "seconds": {k: round(v, 4) for k, v in seconds.items()},
        "mib_per_second": {k: round(size / v, 2) for k, v in seconds.items()},
        "ratio_to_in_process": {k: round(seconds["in_process"] / v, 3)
                                for k, v in seconds.items()},
        "baseline_ratio": baselines,
    }
    print(f"corpus: {size:.1f} MiB in {len(paths)} files, kept in {arguments.corpus} for the next run; "
          f"{workers} workers; "
          f"best of {repeat}; load average {load_before:.2f} before, "
          f"{figures['load_average_after']:.2f} after")
    for way, label in (("in_process", "in process"), ("threads", f"{workers} threads"),
                       ("pool", f"{workers} processes"),
                       ("cluster", f"{workers}-worker cluster")):
        print(f"{label:>18}: {seconds[way]:7.3f} s  {figures['mib_per_second'][way]:8.2f} MiB/s"
              f"  x{figures['ratio_to_in_process'][way]:.2f}")
    print(f"throughput of {workers} processes at once over one alone, measured beside it:")
    for name, (label, _) in BASELINES.items():
        print(f"{label:>24}: x{baselines[name]:.2f}")
    print("rankings equal" if same else "RANKINGS DIFFER")
    if arguments.json:
        with open(arguments.json, "w", encoding="utf-8") as stream:
            json.dump(figures, stream, indent=2)
            stream.write("\n")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
