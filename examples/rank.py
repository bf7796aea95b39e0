#!/usr/bin/env python3.14
"""Ranks the paragraphs of text files by how many query words they contain.

    python3.14 examples/rank.py "query words" [FILE...] [-n TOP]
                                [--threads N | --workers N | --scheduler ADDRESS]

Scores are `_corvane.lexical_score(paragraph, query)`: the share of the
query's words found, case-insensitively by the full Unicode rules, anywhere
in the paragraph. They are computed many paragraphs at a time by
`corvane.Query(query).score_many`, with the interpreter released. Paragraphs
are blocks of lines separated by blank lines. With no FILE it ranks
sample.txt next to this program.

Output, best first, one line per paragraph:

    SCORE  FILE:LINE  PREVIEW

SCORE has four decimals, LINE is the paragraph's first line (from 1) and
PREVIEW its first 60 characters with white space runs shown as one space.
Equal scores are listed in the order of the files on the command line, then
by line. Paragraphs with no query word are not listed.

--threads N ranks in this process on N threads (-1: every CPU this process
may use): while one reads and splits files, the others score; --workers N
ranks in N local processes; --scheduler ADDRESS on a running Dask distributed
cluster whose workers can import `corvane` and `_corvane` and read the files
by their absolute paths. The ranking is the same either way.

Exit status: 0 when at least one paragraph is listed; 1 when no paragraph
holds any query word (one line "rank.py: no paragraph holds a query word" on
standard error) or on an error; 2 for a bad command line (an empty query
included). Errors (an empty query, an unreadable file, an unreachable
scheduler, a failed task) print one line "rank.py: error: ..." on standard
error. Nothing is printed on standard output then: the whole ranking is
computed before any of it is printed.
"""

from __future__ import annotations

import argparse
import os
import sys

PROGRAM = "rank.py"

try:
    import paragraph_ranking as ranking
except ImportError as missing:
    # The package corvane and the module _corvane are built side by side;
    # either may be the one not found (corvane._native counts as corvane).
    module = (missing.name or "").partition(".")[0]
    if module not in ("_corvane", "corvane"):
        raise
    built = "package" if module == "corvane" else "module"
    sys.exit(f"{PROGRAM}: error: cannot import {module} ({missing}); "
             f"put the directory that holds the built {built} on PYTHONPATH")

SAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample.txt")


class Failure(Exception):
    """A run that ends with one error line and the given exit status."""

    def __init__(self, message: str, status: int = 1) -> None:
        super().__init__(message)
        self.status = status


def positive_int(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1: {text!r}")
    return value


def thread_count(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if value < 1 and value != -1:
        raise argparse.ArgumentTypeError(f"must be at least 1, or -1 for every CPU: {text!r}")
    # The ranking starts no more threads than there are files, so a count
    # past the largest it takes is cut to that with the same effect.
    return min(value, sys.maxsize)


def positive_seconds(text: str) -> float:
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a number of seconds: {text!r}") from None
    if not value > 0:
        raise argparse.ArgumentTypeError(f"must be more than 0: {text!r}")
    return value


def parse_arguments(argv: list[str]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        prog=PROGRAM,
        description="Rank the paragraphs of text files by the share of query "
                    "words they contain.")
    parser.add_argument("query", help="words to look for, separated by white space")
    parser.add_argument("files", nargs="*", metavar="FILE",
                        help="UTF-8 text files (default: the sample text)")
    parser.add_argument("-n", "--top", type=positive_int, default=ranking.DEFAULT_TOP,
                        help="how many paragraphs to list (default %(default)s)")
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--threads", type=thread_count, metavar="N",
                       help="rank in this process on N threads "
                            "(-1: every CPU)")
    where.add_argument("--workers", type=positive_int, metavar="N",
                       help="rank in N local worker processes")
    where.add_argument("--scheduler", metavar="ADDRESS",
                       help="rank on the Dask cluster at ADDRESS, e.g. tcp://host:8786")
    parser.add_argument("--connect-timeout", type=positive_seconds, default=10.0,
                        metavar="SECONDS",
                        help="how long to try reaching the scheduler (default %(default)s)")
    return parser.parse_args(argv)


def rank_in_pool(names: list[str], query: str, top: int, workers: int) -> list[ranking.Ranked]:
    from concurrent.futures import ProcessPoolExecutor
    with ProcessPoolExecutor(max_workers=workers) as pool:
        return ranking.rank_files(names, query, top, pool.submit,
                                  partitions=workers * ranking.PARTITIONS_PER_SLOT)


def rank_on_cluster(names: list[str], query: str, top: int, address: str,
                    timeout: float) -> list[ranking.Ranked]:
    import logging

    import distributed
    # The client's own log lines would surround the error line, which says
    # what went wrong. Importing distributed sets their levels, so this
    # comes after.
    for name in ["distributed", *logging.root.manager.loggerDict]:
        if name == "distributed" or name.startswith("distributed."):
            logging.getLogger(name).setLevel(logging.CRITICAL)
    from distributed.comm.addressing import get_address_host_port
    try:
        # A malformed address is refused here: a client that fails to parse
        # it would otherwise linger and report its own cleanup on exit.
        get_address_host_port(address)
    except ValueError as error:
        raise Failure(f"bad scheduler address {address!r}: {error}") from error
    try:
        client = distributed.Client(address, timeout=timeout, set_as_default=False)
    except (OSError, TimeoutError, ValueError) as error:
        detail = str(error).strip().splitlines()
        raise Failure(f"cannot reach the scheduler at {address}"
                      + (f": {detail[0]}" if detail else "")) from error
    try:
        return ranking.rank_files(
            names, query, top, ranking.cluster_submit(client),
            partitions=ranking.cluster_slots(client) * ranking.PARTITIONS_PER_SLOT)
    finally:
        client.close()


def format_line(entry: ranking.Ranked, names: list[str]) -> str:
    return f"{entry.score:.4f}  {names[entry.file_index]}:{entry.line}  {entry.preview}\n"


def run(argv: list[str]) -> str:
    """Computes the whole output of one run, or raises Failure."""
    arguments = parse_arguments(argv)
    refusal = ranking.check_query(arguments.query)
    if refusal is not None:
        raise Failure(refusal, status=2)
    names = arguments.files or [os.path.relpath(SAMPLE)]
    try:
        if arguments.scheduler is not None:
            best = rank_on_cluster(names, arguments.query, arguments.top,
                                   arguments.scheduler, arguments.connect_timeout)
        elif arguments.workers is not None:
            best = rank_in_pool(names, arguments.query, arguments.top, arguments.workers)
        else:
            best = ranking.rank_in_threads(names, arguments.query, arguments.top,
                                           arguments.threads or 1)
    except ranking.RankingError as error:
        raise Failure(str(error)) from error
    return "".join(format_line(entry, names) for entry in best)


def main(argv: list[str]) -> int:
    try:
        output = run(argv)
    except Failure as failure:
        print(f"{PROGRAM}: error: {failure}", file=sys.stderr)
        return failure.status
    if not output:
        print(f"{PROGRAM}: no paragraph holds a query word", file=sys.stderr)
        return 1
    try:
        sys.stdout.write(output)
        sys.stdout.flush()
    except BrokenPipeError:
        # The reader went away (e.g. `| head`); say nothing more.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
