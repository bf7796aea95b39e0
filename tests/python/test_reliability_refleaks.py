"""Every way in and out of the module gives back what it takes: references
and memory blocks. Each path runs many times after a warm-up; the debug
interpreter's total reference count and allocated-block count must not grow
with the number of runs. Needs python3.14d."""

import gc
import importlib.util
import sys
import types

import pytest

import _corvane
import corvane
from _corvane import lexical_score

pytestmark = [
    pytest.mark.skipif(not hasattr(sys, "gettotalrefcount"), reason="needs a debug interpreter"),
    pytest.mark.thread_unsafe(reason="counts the whole interpreter's references"),
]

WARM_UP = 200
RUNS = 1000
# A leak of one reference or block per call shows as RUNS; what the
# interpreter's own caches leave settles within a handful.
NOISE = 10
BATCHES = 5

ORIGIN = importlib.util.find_spec("_corvane")
LARGE_TEXT = "Lorem IPSUM dolor ΣΙΤ amet " * 512
BIG_QUERY = " ".join(["lorem", "ipsum", "σιτ", "absent"] * 16)


class Shouting(str):
    def __str__(self):
        return "SOMETHING ELSE"


class Unprintable(str):
    def __str__(self):
        raise ValueError("no str")


class Local:
    pass


def fresh_module(prepare=None, module_class=None):
    module = importlib.util.module_from_spec(ORIGIN)
    if prepare is not None:
        prepare(module)
    if module_class is not None:
        module.__class__ = module_class
    ORIGIN.loader.exec_module(module)
    return module


class AllUnreadable(types.ModuleType):
    def __getattribute__(self, name):
        if name == "__all__":
            raise KeyError("no __all__ today")
        return super().__getattribute__(name)


class BindingRefused(types.ModuleType):
    def __setattr__(self, name, value):
        if name == "lexical_score":
            raise PermissionError("read-only module")
        super().__setattr__(name, value)


def set_all(value):
    return lambda module: setattr(module, "__all__", value)


class ExportList(list):
    pass


REEXECUTED = fresh_module()


def execute_again():
    probe = pytest.importorskip("_corvane_probe")
    REEXECUTED.__all__ = []
    probe.exec_module_def(REEXECUTED)


def panic():
    probe = pytest.importorskip("_corvane_probe")
    probe.raise_fault("fault for the leak test")


def score(*args, **kwargs):
    return lambda: lexical_score(*args, **kwargs)


QUERY = corvane.Query("cat ΟΔΟΣ dog")
# Enough text for the batch to share a round between two threads.
BATCH = ["The Cat sat", "οδος " * 40, LARGE_TEXT] * 40


def batch(method, *args, **kwargs):
    return lambda: method(*args, **kwargs)


# path name -> (call, exception class it must raise, or None)
PATHS = {
    # Successes.
    "positional": (score("The Cat sat", "cat dog"), None),
    "keywords": (score(query="cat dog", text="The Cat sat"), None),
    "lowercase-grows": (score("\u0130STANBUL ΟΔΟΣ", "i\u0307stanbul οδος x"), None),
    "large-text-many-words": (score(LARGE_TEXT, BIG_QUERY), None),
    "str-subclass": (score(Shouting("The Cat"), Shouting("cat")), None),
    "nul-bytes": (score("a\0b", "\0 b"), None),
    # Binding errors.
    "missing-both": (score(), TypeError),
    "missing-text": (score(query="q"), TypeError),
    "missing-query": (score("t"), TypeError),
    "too-many": (score("t", "q", "x"), TypeError),
    "unexpected-keyword": (score("t", "q", foo=1), TypeError),
    "keyword-case": (score("t", Query="q"), TypeError),
    "keyword-surrogate": (score("t", "q", **{"\ud800x": 1}), TypeError),
    "keyword-unprintable": (score("t", "q", **{Unprintable("zz"): 1}), TypeError),
    "multiple-values": (score("t", "q", text="t"), TypeError),
    # Conversion errors (rewrapped, with the cause step).
    "text-int": (score(1, "q"), TypeError),
    "query-none": (score("t", None), TypeError),
    "text-bytes": (score(b"t", "q"), TypeError),
    "text-local-class": (score(Local(), "q"), TypeError),
    "text-int-empty-query": (score(1, ""), TypeError),
    # The refused query and the interpreter's encode error.
    "empty-query": (score("t", ""), RuntimeError),
    "white-space-query": (score("t", " \u3000\t"), RuntimeError),
    "text-surrogate": (score("a\ud800", "q"), UnicodeEncodeError),
    "query-surrogate": (score("t", "\udfffq"), UnicodeEncodeError),
    # A fault inside a guarded entry.
    "panic": (panic, BaseException),
    # The module's execution step on fresh module objects, and its failures.
    "fresh-module": (fresh_module, None),
    "preset-list": (lambda: fresh_module(set_all(["x"])), None),
    "preset-list-subclass": (lambda: fresh_module(set_all(ExportList())), None),
    "all-not-a-list": (lambda: fresh_module(set_all(("x",))), TypeError),
    "all-unreadable": (lambda: fresh_module(module_class=AllUnreadable), KeyError),
    "binding-refused": (lambda: fresh_module(module_class=BindingRefused), PermissionError),
    "execute-again": (execute_again, None),
    # The batch API: successes, and the refusals of a text, a query and an
    # argument.
    "query": (batch(corvane.Query, "cat ΟΔΟΣ dog"), None),
    "query-score": (batch(QUERY.score, "ΟΔΟΣ cat"), None),
    "query-matched": (batch(QUERY.matched, LARGE_TEXT), None),
    "score-many": (batch(QUERY.score_many, BATCH), None),
    "score-many-threads": (lambda: QUERY.score_many(iter(BATCH), workers=2), None),
    "extract-mapping": (batch(corvane.extract, "cat", dict(enumerate(BATCH)), limit=3), None),
    "cdist": (batch(corvane.cdist, [QUERY, "sat"], BATCH, workers=2), None),
    "matrix-list": (lambda: corvane.cdist(["cat"], BATCH).tolist(), None),
    "score-many-non-str": (batch(QUERY.score_many, [*BATCH, 3]), TypeError),
    "score-many-surrogate": (batch(QUERY.score_many, [*BATCH, "x\udc00"], workers=2),
                             UnicodeEncodeError),
    "query-empty": (batch(corvane.Query, " "), RuntimeError),
    "cdist-query-surrogate": (batch(corvane.cdist, ["a", "\ud800"], BATCH), UnicodeEncodeError),
    "workers-zero": (batch(QUERY.score_many, BATCH, workers=0), ValueError),
}


def counts():
    gc.collect()
    return sys.gettotalrefcount(), sys.getallocatedblocks()


@pytest.mark.timeout(300)
@pytest.mark.parametrize("call, raises", PATHS.values(), ids=PATHS.keys())
def test_path_returns_every_reference_and_block(monkeypatch, capfd, call, raises):
    monkeypatch.setattr(sys, "unraisablehook", lambda unraisable: None)
    for name in ("last_exc", "last_type", "last_value", "last_traceback"):
        monkeypatch.setattr(sys, name, None, raising=False)

    def run(times):
        for _ in range(times):
            try:
                call()
            except BaseException as error:  # noqa: B036
                if raises is None or not isinstance(error, raises):
                    raise
            else:
                assert raises is None

    run(WARM_UP)
    # A leak of one per call grows every batch by RUNS. The interpreter's
    # own caches (type caches, dict resizes, gc generations) settle now and
    # then, by varying amounts: one quiet batch shows that nothing grows
    # with the calls.
    growth = []
    before = counts()
    for _ in range(BATCHES):
        run(RUNS)
        after = counts()
        growth.append((after[0] - before[0], after[1] - before[1]))
        before = after
        if len(growth) > 1 and all(abs(d) <= NOISE for d in growth[-1]):
            break
    capfd.readouterr()  # the fault reports of the panic path
    assert all(abs(d) <= NOISE for d in growth[-1]), {"(references, blocks) per batch": growth}


def test_module_attributes_survive_the_leak_runs():
    # The execution step ran a thousand times on other module objects; the
    # imported module is untouched.
    assert _corvane.__all__ == ["lexical_score"]
    assert _corvane.lexical_score is lexical_score
