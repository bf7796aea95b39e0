"""Ranks the paragraphs of text files by `_corvane.lexical_score`, scoring
them many at a time with `corvane.Query.score_many`.

A paragraph is a maximal run of non-blank lines; a blank line holds nothing
but white space. Lines end at "\\n". Paragraphs that share no word with the
query (score 0.0) are not ranked.

Order: higher score first; equal scores go by the file's position in the list
of files given, then by the paragraph's first line number. The order is total,
so the best N of the union of partitions equals the union of each partition's
best N, merged and cut to N: the ranking is identical whichever way the work is
split.

The same `rank_files` serves every way of running: the caller passes a
`submit(fn, *args)` that returns an object with `result()` (the in-process
`submit_in_process`, a `concurrent.futures` executor's `submit`, or
`cluster_submit(client)` for a Dask cluster). Tasks get file names and the
query, read the files where they run and send back only their best N, so the
caller never holds the corpus. A task scores its paragraphs with the
interpreter released, on one thread or on as many as `threads` asks for.
"""

from __future__ import annotations

import heapq
import os
import re
from collections.abc import Callable, Iterator, Sequence
from typing import Any, NamedTuple

from _corvane import lexical_score
from corvane import Query

DEFAULT_TOP = 5
PREVIEW_WIDTH = 60
# Partitions per worker slot when ranking in parallel: small partitions keep
# the slots busy to the end (the last one to finish sets the time), while
# each task costs a millisecond or so of overhead.
PARTITIONS_PER_SLOT = 16
# A task scores the paragraphs of its files in one call once they hold this
# many characters, and gathers the rest for the next: fewer calls keep the
# threads busy longer, while the gathered paragraphs are what the task holds.
BATCH_CHARACTERS = 16 << 20

# A paragraph starts at the beginning of a line holding something other than
# white space and takes in the non-blank lines that follow. Anchoring at line
# starts keeps the search linear even on long runs of white space.
_PARAGRAPH = re.compile(r"^[^\S\n]*\S[^\n]*(?:\n[^\S\n]*\S[^\n]*)*", re.MULTILINE)
_WORD = re.compile(r"\S+")


class Ranked(NamedTuple):
    """One ranked paragraph: its score, where it is and how it begins."""

    score: float
    file_index: int
    line: int
    preview: str


class RankingError(Exception):
    """A ranking that could not be completed; its text is one line."""


def check_query(query: str) -> str | None:
    """Returns the module's refusal message for a query it will not score."""
    try:
        lexical_score("", query)
    except RuntimeError as error:
        return str(error)
    return None


def paragraphs(text: str) -> Iterator[tuple[int, str]]:
    """Yields (first line number, paragraph text) for each paragraph, in order.

    Complexity: linear in the length of the text.
    """
    line = 1
    counted_to = 0
    for match in _PARAGRAPH.finditer(text):
        start = match.start()
        line += text.count("\n", counted_to, start)
        counted_to = start
        yield line, match.group()


def preview(paragraph: str, width: int = PREVIEW_WIDTH) -> str:
    """The paragraph's first `width` characters, white space runs made one space."""
    words: list[str] = []
    length = -1
    for match in _WORD.finditer(paragraph):
        words.append(match.group())
        length += len(words[-1]) + 1
        if length >= width:
            break
    return " ".join(words)[:width].rstrip()


def read_text(path: str, name: str) -> tuple[str | None, str | None]:
    """Reads a UTF-8 file: (text, None), or (None, a one-line reason naming
    the file as `name`)."""
    try:
        with open(path, "rb") as stream:
            data = stream.read()
    except OSError as error:
        reason = error.strerror or type(error).__name__
        return None, f"cannot read '{name}': {reason}"
    try:
        return data.decode("utf-8"), None
    except UnicodeDecodeError as error:
        return None, (f"cannot read '{name}': not valid UTF-8 "
                      f"(byte 0x{data[error.start]:02x} at offset {error.start})")


def rank_partition(files: Sequence[tuple[int, str, str]], query: str,
                   top: int, threads: int = 1) -> tuple[str | None, list[Ranked]]:
    """Ranks the paragraphs of some files and keeps the best `top`.

    `files` holds (file index, path to open, path to name in messages), in
    the order of the file indexes. Returns (None, best first) or (the first
    file's error, []). The paragraphs are scored by one `score_many` call
    on `threads` threads (-1: every CPU), or by one call for each run of
    files that reaches BATCH_CHARACTERS: memory stays within such a run,
    one more file and `top` previews.

    Complexity: O(P log top) heap work for P paragraphs, plus the scoring.
    """
    prepared = Query(query)
    # A min-heap on (score, -file index, -line): its root is the worst kept
    # paragraph, and a larger key is a better paragraph.
    kept: list[tuple[tuple[float, int, int], str]] = []
    places: list[tuple[int, int]] = []
    texts: list[str] = []
    gathered = 0

    def keep_the_best() -> None:
        scores = prepared.score_many(texts, workers=threads)
        for score, (file_index, line), paragraph in zip(scores, places, texts):
            if score <= 0.0:
                continue
            key = (score, -file_index, -line)
            if len(kept) < top:
                heapq.heappush(kept, (key, preview(paragraph)))
            elif key > kept[0][0]:
                heapq.heapreplace(kept, (key, preview(paragraph)))
        places.clear()
        texts.clear()

    for file_index, path, name in files:
        text, error = read_text(path, name)
        if text is None:
            return error, []
        for line, paragraph in paragraphs(text):
            places.append((file_index, line))
            texts.append(paragraph)
        gathered += len(text)
        if gathered >= BATCH_CHARACTERS:
            keep_the_best()
            gathered = 0
    if texts:
        keep_the_best()
    best = sorted(kept, reverse=True)
    return None, [Ranked(score, -neg_file, -neg_line, shown)
                  for (score, neg_file, neg_line), shown in best]


def merge(ranked: Sequence[Ranked], top: int) -> list[Ranked]:
    """The best `top` of several partitions' results, best first."""
    return heapq.nsmallest(top, ranked, key=lambda r: (-r.score, r.file_index, r.line))


def plan_partitions(names: Sequence[str], count: int) -> list[list[tuple[int, str, str]]]:
    """Splits the files into at most `count` runs of consecutive files of near
    equal length (in files). Each entry is (index, absolute path, name)."""
    count = max(1, min(count, len(names)))
    entries = [(index, os.path.abspath(name), name) for index, name in enumerate(names)]
    size, extra = divmod(len(entries), count)
    plan = []
    start = 0
    for part in range(count):
        end = start + size + (1 if part < extra else 0)
        plan.append(entries[start:end])
        start = end
    return plan


def _describe_failure(error: BaseException) -> str:
    kind = type(error).__name__
    if kind in ("BrokenProcessPool", "KilledWorker"):
        return f"a worker process died while ranking ({kind})"
    # Messages may run over several lines and sentences; the first sentence
    # says what happened.
    text = " ".join(str(error).split())
    end = text.find(". ")
    text = text[:end + 1] if end >= 0 else text
    return f"{kind}: {text}" if text else kind


def rank_files(names: Sequence[str], query: str, top: int,
               submit: Callable[..., Any], partitions: int = 1,
               threads: int = 1) -> list[Ranked]:
    """Ranks the paragraphs of the named files, best `top` first.

    Submits one `rank_partition` task per partition, each scoring on
    `threads` threads, and merges their results.
    Raises RankingError when a file cannot be read (the first in list order)
    or a task fails; no partial ranking is returned.
    """
    if top <= 0 or not names:
        return []
    futures = [submit(rank_partition, part, query, top, threads)
               for part in plan_partitions(names, partitions)]
    gathered: list[Ranked] = []
    try:
        for future in futures:
            try:
                error, best = future.result()
            except (KeyboardInterrupt, SystemExit):
                raise
            except BaseException as failure:
                raise RankingError(
                    f"a ranking task failed: {_describe_failure(failure)}") from failure
            if error is not None:
                raise RankingError(error)
            gathered = merge([*gathered, *best], top)
    finally:
        for future in futures:
            future.cancel()
    return gathered


class _Deferred:
    """A task run in the calling process when its result is asked for."""

    def __init__(self, fn: Callable[..., Any], args: tuple[Any, ...]) -> None:
        self._fn, self._args = fn, args

    def result(self) -> Any:
        return self._fn(*self._args)

    def cancel(self) -> bool:
        return False


def submit_in_process(fn: Callable[..., Any], *args: Any) -> _Deferred:
    """Runs tasks in this process, one after another."""
    return _Deferred(fn, args)


def cluster_submit(client: Any, upload: bool = True) -> Callable[..., Any]:
    """A submit function for a Dask `distributed.Client`.

    Tasks name this module's functions, so the scheduler (which unpacks the
    tasks) and the workers must import this module, `corvane` and
    `_corvane`. With `upload`, this file is first sent to them and imported
    there (Dask's `upload_file`), so only `corvane` and `_corvane` have to be
    installed on the cluster; without it they must already find this very
    file.
    """
    if upload:
        try:
            client.upload_file(os.path.abspath(__file__))
        except (KeyboardInterrupt, SystemExit):
            raise
        except BaseException as failure:
            raise RankingError("cannot load the ranking code on the cluster: "
                               f"{_describe_failure(failure)}") from failure

    def submit(fn: Callable[..., Any], *args: Any) -> Any:
        return client.submit(fn, *args, pure=False)

    return submit


def cluster_slots(client: Any) -> int:
    """The number of task slots (worker threads) of a Dask cluster."""
    return max(1, sum(client.nthreads().values()))
