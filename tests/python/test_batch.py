"""The batch API scores as a loop over lexical_score does, on any number of
threads: Query, extract and cdist give the loop's scores, refuse what it
refuses at the lowest index, stop for Ctrl-C, and read a snapshot of a list
that another thread changes meanwhile."""

import collections
import functools
import hashlib
import os
import sys
import threading
from concurrent.futures import ThreadPoolExecutor

import pytest

from corvane import Query, cdist, extract, lexical_score
from corvane_testing import ALL_SPACES
from test_argument_forms import ALPHABETS, LENGTHS, LONG, text_of

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "benchmarks"))
from inputs import SCRIPT_KINDS, adversarial_cases, script_query, script_text  # noqa: E402


class Shouty(str):
    def lower(self):  # scored by its text, not by its methods
        return "the"


SAMPLES = [text_of(width, length) for width in ALPHABETS for length in LENGTHS]
SAMPLES += [script_text(kind, size) for kind in SCRIPT_KINDS for size in (50, 3000, 100 * 1024)]
SAMPLES += [make(20000) for _, make, _ in adversarial_cases()]
SAMPLES += [Shouty("Abc D\u00c9F \u03a3a \U0001f600 THE"), LONG]
# Capitals, whose sigmas lowercase by their context in the text.
SAMPLES += [script_text(kind, 3000).upper() for kind in ("greek", "mixed")]
PIECES = [s[k * 37 % (len(s) or 1):][:k % 45] for k in range(8500) for s in [SAMPLES[k % len(SAMPLES)]]]
# Two rounds of texts, short and long (across the 32 KiB pieces), each with
# enough bytes to be shared out between two threads.
TEXTS = [*SAMPLES, *PIECES, *SAMPLES]
assert len(TEXTS) > 8192


def words_from(text, absent):
    # Words of the text, one in capitals and one twice, and one more.
    words = text.split()
    return " ".join([words[1], words[len(words) // 2].upper(), words[-2], words[1], absent])


QUERIES = {
    "latin-1": words_from(text_of(1, 40000), "\u00de"),
    "two-byte": words_from(text_of(2, 40000), "\u212a"),
    "four-byte": words_from(text_of(4, 40000), "\U00010428\u0301"),
    "greek": script_query("greek", script_text("greek", 100 * 1024)),
    "chinese": script_query("chinese", script_text("chinese", 100 * 1024)) + " a e",
    "final-sigma": "\u039d\u038c\u039c\u039f\u03a3 \u03bf\u03b4\u03cc\u03c2 \u03a3\u03a4\u039f",
    "adversarial": adversarial_cases()[0][2] + " aaa",
    # The most words whose scores a batch shares as float objects, and one more.
    "64-words": " ".join(text_of(1, 40000).split()[:64]),
    "65-words": " ".join(text_of(1, 40000).split()[:65]),
}


@functools.cache
def reference(query):
    return [lexical_score(text, query) for text in TEXTS]


@pytest.mark.parametrize("query", QUERIES.values(), ids=QUERIES)
@pytest.mark.parametrize("workers", [1, 2, -1])
def test_score_many_is_a_loop(query, workers):
    assert Query(query).score_many(TEXTS, workers=workers) == reference(query)


@pytest.mark.parametrize("query", QUERIES.values(), ids=QUERIES)
def test_score_and_matched_are_lexical_score(query):
    prepared = Query(query)
    for text in TEXTS:
        assert prepared.score(text) == lexical_score(text, query)
        # A word is found when it scores 1.0 as a query of its own.
        found = tuple(w for w in prepared.words if lexical_score(text, w) == 1.0)
        assert prepared.matched(text) == found


@pytest.mark.parametrize("query", QUERIES.values(), ids=QUERIES)
@pytest.mark.parametrize("limit", [None, 3])
@pytest.mark.parametrize("cutoff", [None, 0.5])
@pytest.mark.parametrize("keyed", [False, True])
def test_extract_is_a_sorted_loop(query, limit, cutoff, keyed):
    kept = [(text, score, k) for k, (text, score) in enumerate(zip(TEXTS, reference(query)))
            if cutoff is None or score >= cutoff]
    kept = sorted(kept, key=lambda found: (-found[1], found[2]))[:limit]
    choices = {f"key{k}": text for k, text in enumerate(TEXTS)} if keyed else TEXTS
    found = extract(Query(query) if keyed else query, choices,
                    limit=limit, score_cutoff=cutoff, workers=2)
    assert found == [(text, score, f"key{k}" if keyed else k) for text, score, k in kept]


@pytest.mark.parametrize("workers", [1, 2])
def test_cdist_is_a_loop_per_query(workers):
    queries = list(QUERIES.values())
    matrix = cdist([Query(q) if k % 2 else q for k, q in enumerate(queries)], TEXTS, workers=workers)
    expected = [reference(query) for query in queries]
    assert (matrix.shape, len(matrix)) == ((len(QUERIES), len(TEXTS)), len(QUERIES))
    assert matrix.tolist() == memoryview(matrix).tolist() == expected


@pytest.mark.parametrize("queries, choices", [(["a", "b c"], ["a", "bc"]), ([], ["a"]), (["a"], [])])
def test_the_matrix_is_a_read_only_float_buffer(queries, choices):
    matrix = cdist(queries, choices)
    view = memoryview(matrix)
    assert (view.format, view.ndim, view.shape, view.readonly) == ("f", 2, matrix.shape, True)
    # A consumer that asks for plain bytes (hashlib asks for a simple buffer).
    assert hashlib.sha256(matrix).digest() == hashlib.sha256(view.tobytes()).digest()


def test_numpy_reads_the_matrix_in_place():
    numpy = pytest.importorskip("numpy")
    matrix = cdist(["a", "b c"], ["a", "b", "abc"])
    array = numpy.asarray(matrix)
    assert array.dtype == numpy.float32 and array.tolist() == matrix.tolist()
    assert numpy.shares_memory(array, numpy.asarray(matrix)) and not array.flags.writeable


CALLS = {
    "score_many": lambda texts, **kw: Query("abc \u03c3").score_many(texts, **kw),
    "extract": lambda texts, **kw: extract("abc \u03c3", texts, limit=None, score_cutoff=0.5, **kw),
    "extract-keyed": lambda texts, **kw: extract("abc", dict(enumerate(texts)), limit=None, **kw),
    "cdist": lambda texts, **kw: cdist(["abc", Query("x y")], texts, **kw).tolist(),
}


@pytest.mark.parametrize("call", CALLS)
@pytest.mark.parametrize("container", [tuple, iter, collections.UserList, collections.deque])
def test_any_iterable_of_texts(call, container):
    texts = TEXTS[:300]
    assert CALLS[call](container(texts), workers=2) == CALLS[call](texts, workers=2)


@pytest.mark.parametrize("call", CALLS)
@pytest.mark.parametrize("workers", [1, 2])
@pytest.mark.parametrize("bad", [
    {0: 7}, {4300: "x\ud800"}, {-1: b"abc"}, {8195: LONG + "\ud800"},
    {4000: "\ud800", 300: "ab\udfffc" * 40}, {300: None, 5000: "\ud800"}, {300: "\ud800", 5000: 1.5},
    {8191: "\U0001f600\udc00", 8192: 3}, {8192: "\udfff" + LONG, 8600: "\ud800"},
], ids=str)
def test_the_lowest_refused_text_is_the_error(call, workers, bad):
    texts = list(TEXTS)
    for index, text in bad.items():
        texts[index] = text
    lowest = min(index % len(texts) for index in bad)
    with pytest.raises(Exception) as expected:
        lexical_score(texts[lowest], "abc")
    with pytest.raises(type(expected.value)) as raised:
        CALLS[call](texts, workers=workers)
    assert raised.value.args == expected.value.args
    assert raised.value.__notes__ == [f"while scoring the text at index {lowest}"]


@pytest.mark.parametrize("call", CALLS)
@pytest.mark.parametrize("workers, error", [
    (0, ValueError), (-2, ValueError), (2**70, ValueError), (-(2**70), ValueError),
    (True, TypeError), (1.0, TypeError), ("1", TypeError), (None, TypeError),
])
def test_workers_argument(call, workers, error):
    with pytest.raises(error):
        CALLS[call](["abc"], workers=workers)


@pytest.mark.parametrize("words", [1, 7, 64, 65])
def test_each_score_of_a_query_is_its_own_value(words):
    # Every share of the words, each text given twice: the scores a batch
    # hands out equal the loop's, and a query of up to 64 words hands out
    # one float for each.
    query = " ".join(f"w{k}." for k in range(words))
    texts = [" ".join(f"w{k}." for k in range(hits)) for hits in range(words + 1) for _ in (0, 1)]
    scores = Query(query).score_many(texts, workers=2)
    assert scores == [lexical_score(text, query) for text in texts]
    assert all((scores[k] is scores[k + 1]) == (words <= 64) for k in range(0, len(texts), 2))


@pytest.mark.parametrize("query, words", [
    ("a  b\u3000a", ("a", "b", "a")),
    ("a\x1cb\u200bc\u180e d", ("a\x1cb\u200bc\u180e", "d")),
    (ALL_SPACES.join(["", "X\u0301", "\U0001f600", "X\u0301", ""]), ("X\u0301", "\U0001f600", "X\u0301")),
    (Shouty("THE end"), ("THE", "end")),
])
def test_a_query_is_an_immutable_value(query, words):
    prepared = Query(query)
    assert prepared.words == words and all(type(word) is str for word in words)
    assert repr(prepared) == f"Query({str(query)!r})"
    assert prepared == Query(str(query)) and hash(prepared) == hash(Query(str(query)))
    assert prepared != Query(query + " ")
    for name in ("words", "other"):
        with pytest.raises(AttributeError):
            setattr(prepared, name, ())


@pytest.mark.parametrize("bad", [1, None, b"abc", "\ud800 abc", "abc x\udfff", "", " \u3000\n"])
@pytest.mark.parametrize("call, note", [
    (Query, []), (lambda q: extract(q, ["abc"]), []),
    (lambda q: cdist(["abc", q], ["abc"]), ["while preparing the query at index 1"]),
])
def test_refused_queries(bad, call, note):
    with pytest.raises(Exception) as expected:
        lexical_score("abc", bad)
    with pytest.raises(type(expected.value)) as raised:
        call(bad)
    assert raised.value.args == expected.value.args
    assert getattr(raised.value, "__notes__", []) == note


@pytest.mark.parametrize("call, error", [(call, TypeError) for call in [
    "Query()", "Query('a', 'b')", "Query(text='a')", "Query('a').score()", "Query('a').matched('a', 'b')",
    "Query('a').score_many()", "Query('a').score_many(['a'], 1)", "Query('a').score_many(['a'], worker=1)",
    "Query('a').score_many(5)", "extract('a')", "extract('a', ['a'], 5)", "extract('a', ['a'], limt=5)",
    "extract('a', ['a'], query='a')", "extract('a', ['a'], limit=1.0)", "extract('a', ['a'], score_cutoff='1')",
    "cdist(['a'])", "cdist(['a'], ['b'], limit=2)",
]] + [("extract('a', ['a'], limit=-1)", ValueError)])
def test_argument_errors(call, error):
    with pytest.raises(error):
        eval(call)


# Long texts: some milliseconds each. Short ones: rounds of them end long
# before a check for signals is due, so the clock must run across rounds.
LONG_TEXTS = ("[\"\\u03a3\\u03bf\\u03c6\\u03af\\u03b1 \\U0001f600 \" * 120000] * 2000",
              "\"\\u03c3\\u03bf\\u03c6\\u03b9\\u03b1 absent\"")
SHORT_TEXTS = ("[\"a short title of some words\"] * 20_000_000",
               "\" \".join(f\"w{k}\" for k in range(100))")


@pytest.mark.parametrize("texts, call", [pytest.param(LONG_TEXTS, call, id=f"long-{call}") for call in [
    "query.score_many(texts)", "query.score_many(texts, workers=2)",
    "corvane.extract(query, texts, workers=2)", "corvane.cdist([query, 'b'], texts, workers=-1)",
]] + [pytest.param(SHORT_TEXTS, "corvane.extract(query, texts)", id="short")])
def test_ctrl_c_stops_a_long_batch(run_snippet, texts, call):
    # Either batch takes seconds if nothing stops it.
    done = run_snippet(f"""
        import signal, threading, time, corvane
        # Started in the background by a shell without job control, this
        # process would inherit SIGINT ignored.
        signal.signal(signal.SIGINT, signal.default_int_handler)
        texts = {texts[0]}
        query = corvane.Query({texts[1]})
        sent = []
        def interrupt():
            sent.append(time.monotonic())
            signal.raise_signal(signal.SIGINT)
        threading.Timer(0.3, interrupt).start()
        try:
            {call}
        except KeyboardInterrupt:
            print(time.monotonic() - sent[0])
        """)
    assert done.returncode == 0, done.stderr
    # Under ThreadSanitizer (tools/reliability/tsan) a text costs many times
    # as much and the calling thread reads the clock only every few texts;
    # a stop there still ends the call long before its texts would.
    assert float(done.stdout) < (10 if os.environ.get("CORVANE_TSAN") == "1" else 2)


def test_threads_share_one_query():
    query = QUERIES["four-byte"]
    prepared, expected = Query(query), reference(query)

    def work(k):
        return k, prepared.score_many(TEXTS, workers=2), [prepared.score(t) for t in TEXTS[k::40]]

    with ThreadPoolExecutor(4) as pool:
        for k, many, some in pool.map(work, range(12)):
            assert many == expected and some == expected[k::40]


@pytest.mark.parametrize("mutate", [
    lambda texts, k: texts.append(TEXTS[k % 50]),
    lambda texts, k: (texts.clear(), texts.extend(TEXTS[:k % 50])),
    lambda texts, k: texts.__setitem__(k % len(texts), 7),
    lambda texts, k: texts.__delitem__(slice(len(texts) // 2, None)),
], ids=["append", "clear", "replace", "shrink"])
def test_a_list_changed_during_the_batch(mutate):
    query = QUERIES["greek"]
    for _ in range(5):
        texts, go, done = TEXTS * 4, threading.Event(), threading.Event()

        def mutator():
            go.wait()
            k = 0
            while not done.is_set():
                mutate(texts, k)
                k += 1

        thread = threading.Thread(target=mutator)
        thread.start()
        # The other thread waits for the interpreter until this call lets it go.
        go.set()
        try:
            assert Query(query).score_many(texts, workers=2) == reference(query) * 4
        finally:
            done.set()
            thread.join()
