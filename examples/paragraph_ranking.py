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
interpreter released, so `rank_in_threads` runs the tasks on threads of this
process: while one reads and splits its files, the others score.
"""

from __future__ import annotations

import bisect
import heapq
import os
import re
from collections.abc import Callable, Sequence
from concurrent.futures import ThreadPoolExecutor
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
# many characters, and gathers the rest for the next: the gathered
# paragraphs, and the files they come from, are what the task holds.
BATCH_CHARACTERS = 16 << 20

# A paragraph starts at the beginning of a line holding something other than
# white space and takes in the non-blank lines that follow. Anchoring at line
# starts keeps the search linear even on long runs of white space.
_PARAGRAPH = re.compile(r"^[^\S\n]*\S[^\n]*(?:\n[^\S\n]*\S[^\n]*)*", re.MULTILINE)
# A blank line that is not empty: only white space, at least one character.
# A text without one has its paragraphs parted by runs of "\n" alone, and
# str.split finds them many times faster than the pattern above.
_SPACE_LINE = re.compile(r"\n[^\S\n]+(?:\n|\Z)")
_SPACE_LINE_FIRST = re.compile(r"[^\S\n]+(?:\n|\Z)")
# The first place where splitting at "\n\n" needs more: a blank line of
# white space, or three "\n" in a row. One pass finds either.
_UNEVEN = re.compile(r"\n(?:[^\S\n]+(?:\n|\Z)|\n\n)")
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


class Paragraphs:
    """The paragraphs of one text, in order (`texts`), and where they begin
    (`lines`).

    Complexity: linear in the length of the text, and `lines` in the length
    of the text before the last paragraph asked for.
    """

    def __init__(self, text: str) -> None:
        self._text = text
        # Where the paragraphs start: offsets into the text, or else found
        # by adding up the pieces of a split, each followed by "\n\n"
        # (paragraph i is piece i, or piece _piece_of[i]).
        self._starts: list[int] | None = None
        self._pieces: list[str] = []
        self._piece_of: list[int] | None = None
        uneven = _UNEVEN.search(text)
        if _SPACE_LINE_FIRST.match(text) or (uneven and _SPACE_LINE.search(text, uneven.start())):
            matches = list(_PARAGRAPH.finditer(text))
            self.texts = [match.group() for match in matches]
            self._starts = [match.start() for match in matches]
            return
        pieces = text.split("\n\n")
        if uneven or text.startswith("\n"):
            # Longer runs of "\n" leave empty pieces and pieces that start
            # with "\n"; the last may end with one.
            self._pieces = pieces
            self._piece_of = [index for index, piece in enumerate(pieces) if piece.strip("\n")]
            self.texts = [pieces[index].strip("\n") for index in self._piece_of]
            return
        # Most texts: the pieces are the paragraphs, but for an empty last
        # piece or the "\n" that ends the text.
        if pieces[-1].endswith("\n"):
            pieces[-1] = pieces[-1][:-1]
        if not pieces[-1]:
            pieces.pop()
        self.texts = self._pieces = pieces

    def lines(self, indexes: Sequence[int]) -> list[int]:
        """The first line numbers (from 1) of the paragraphs at `indexes`,
        which ascend."""
        found = []
        line = 1
        counted = 0  # the offset up to which lines are counted
        passed = 0  # the pieces added up, and where the next one starts
        offset = 0
        for index in indexes:
            if self._starts is not None:
                start = self._starts[index]
            else:
                piece = index if self._piece_of is None else self._piece_of[index]
                offset += sum(map(len, self._pieces[passed:piece])) + 2 * (piece - passed)
                passed = piece
                start = offset + self._pieces[piece].startswith("\n")
            line += self._text.count("\n", counted, start)
            counted = start
            found.append(line)
        return found


def best_positions(scores: Sequence[float], top: int) -> list[int]:
    """The positions of the `top` highest scores above 0.0, best first, equal
    scores by position.

    Complexity: O(len(scores)) per distinct score taken, at most `top` of
    them; the scans run in C.
    """
    chosen: list[int] = []
    for value in sorted(set(scores), reverse=True):
        if value <= 0.0 or len(chosen) == top:
            break
        position = -1
        while len(chosen) < top:
            try:
                position = scores.index(value, position + 1)
            except ValueError:
                break
            chosen.append(position)
    return chosen


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
                   top: int) -> tuple[str | None, list[Ranked]]:
    """Ranks the paragraphs of some files and keeps the best `top`.

    `files` holds (file index, path to open, path to name in messages), in
    the order of the file indexes. Returns (None, best first) or (the first
    file's error, []). The paragraphs are scored by one `score_many` call,
    or by one call for each run of files that reaches BATCH_CHARACTERS:
    memory stays within such a run and one more file.

    Complexity: linear in the length of the files, plus the scoring.
    """
    prepared = Query(query)
    kept: list[Ranked] = []
    # The batch: its paragraphs, and for each of its files the position of
    # the file's first paragraph, the file's index and its paragraphs.
    texts: list[str] = []
    parts: list[tuple[int, int, Paragraphs]] = []
    gathered = 0

    def keep_the_best() -> None:
        nonlocal kept
        scores = prepared.score_many(texts)
        chosen = sorted(best_positions(scores, top))
        found = []
        for part, (first, file_index, split) in enumerate(parts):
            end = parts[part + 1][0] if part + 1 < len(parts) else len(texts)
            here = chosen[bisect.bisect_left(chosen, first):bisect.bisect_left(chosen, end)]
            lines = split.lines([position - first for position in here])
            found.extend(Ranked(scores[position], file_index, line, preview(texts[position]))
                         for position, line in zip(here, lines))
        kept = merge([*kept, *found], top)
        texts.clear()
        parts.clear()

    for file_index, path, name in files:
        text, error = read_text(path, name)
        if text is None:
            return error, []
        split = Paragraphs(text)
        parts.append((len(texts), file_index, split))
        texts.extend(split.texts)
        gathered += len(text)
        if gathered >= BATCH_CHARACTERS:
            keep_the_best()
            gathered = 0
    if texts:
        keep_the_best()
    return None, kept


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
               submit: Callable[..., Any], partitions: int = 1) -> list[Ranked]:
    """Ranks the paragraphs of the named files, best `top` first.

    Submits one `rank_partition` task per partition and merges their results.
    Raises RankingError when a file cannot be read (the first in list order)
    or a task fails; no partial ranking is returned.
    """
    if top <= 0 or not names:
        return []
    futures = [submit(rank_partition, part, query, top)
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


def rank_in_threads(names: Sequence[str], query: str, top: int,
                    threads: int) -> list[Ranked]:
    """Ranks in this process on `threads` threads (-1: every CPU this process
    may use), as `rank_files` does.

    The threads take partitions in turn. Reading and splitting a file holds
    the interpreter, and scoring releases it, so one thread reads while the
    others score.
    """
    if threads == -1:
        threads = os.process_cpu_count() or 1
    threads = max(1, min(threads, len(names)))
    if threads == 1:
        return rank_files(names, query, top, submit_in_process)
    with ThreadPoolExecutor(max_workers=threads) as pool:
        return rank_files(names, query, top, pool.submit, threads * PARTITIONS_PER_SLOT)


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
