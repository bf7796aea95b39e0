"""How lexical_score binds its arguments and converts them, and what it
raises when a call does not fit."""

import subprocess
import sys
import textwrap

import pytest

from _corvane import lexical_score

MISSING_BOTH = "lexical_score() missing 2 required positional arguments: 'text' and 'query'"
MISSING_TEXT = "lexical_score() missing 1 required positional argument: 'text'"
MISSING_QUERY = "lexical_score() missing 1 required positional argument: 'query'"


def too_many(n):
    return f"lexical_score() takes 2 positional arguments but {n} were given"


def unexpected(name):
    return f"lexical_score() got an unexpected keyword argument '{name}'"


def multiple(name):
    return f"lexical_score() got multiple values for argument '{name}'"


def not_str(parameter, type_name):
    return f"argument '{parameter}': '{type_name}' object is not an instance of 'str'"


def make_local_class():
    class Local:
        pass
    return Local()


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        # Binding, in the order in which failures are found.
        ((), {}, MISSING_BOTH),
        (("t",), {}, MISSING_QUERY),
        ((), {"query": "q"}, MISSING_TEXT),
        ((), {"text": "t"}, MISSING_QUERY),
        (("t", "q", "x"), {}, too_many(3)),
        (("t", "q", "x", "y", "z"), {}, too_many(5)),
        (("t", "q", "x"), {"foo": 1}, too_many(3)),
        (("t", "q", "x"), {"text": "t"}, too_many(3)),
        ((1, 2, 3), {}, too_many(3)),
        ((), {"foo": 1}, unexpected("foo")),
        (("t", "q"), {"foo": 1}, unexpected("foo")),
        (("t", "q"), {"Query": "q"}, unexpected("Query")),
        (("t", "q"), {"TEXT": "t"}, unexpected("TEXT")),
        (("t", "q"), {"tex": "t"}, unexpected("tex")),
        (("t", "q"), {"texts": "t"}, unexpected("texts")),
        (("t", "q"), {"text\0": "t"}, unexpected("text\0")),
        (("t", "q"), {"": "t"}, unexpected("")),
        ((), {"foo": 1, "text": "t"}, unexpected("foo")),
        ((), {"text": "t", "foo": 1}, unexpected("foo")),
        (("t", "q"), {"text": "t"}, multiple("text")),
        (("t",), {"text": "t"}, multiple("text")),
        (("t", "q"), {"query": "q"}, multiple("query")),
        (("t",), {"text": "t", "foo": 1}, multiple("text")),
        (("t",), {"foo": 1, "text": "t"}, unexpected("foo")),
        (("t", "q"), {"query": 1, "text": 2}, multiple("query")),
        ((1,), {}, MISSING_QUERY),
        ((), {"query": 1}, MISSING_TEXT),
        # Conversion: text first, then query.
        ((1, "q"), {}, not_str("text", "int")),
        (("t", 1), {}, not_str("query", "int")),
        ((1, 2), {}, not_str("text", "int")),
        ((1, ""), {}, not_str("text", "int")),
        ((b"t", "q"), {}, not_str("text", "bytes")),
        (("t", b"q"), {}, not_str("query", "bytes")),
        ((1.5, "q"), {}, not_str("text", "float")),
        ((["t"], "q"), {}, not_str("text", "list")),
        ((make_local_class(), "q"), {}, not_str("text", "make_local_class.<locals>.Local")),
        ((None, "q"), {}, "argument 'text': 'None' is not an instance of 'str'"),
        (("t", None), {}, "argument 'query': 'None' is not an instance of 'str'"),
        ((), {"query": 1, "text": 2}, not_str("text", "int")),
        ((), {"text": "t", "query": None},
         "argument 'query': 'None' is not an instance of 'str'"),
        ((1, "\ud800"), {}, not_str("text", "int")),
    ],
)
def test_type_errors(args, kwargs, message):
    with pytest.raises(TypeError) as raised:
        lexical_score(*args, **kwargs)
    assert type(raised.value) is TypeError
    assert raised.value.args == (message,)


@pytest.mark.parametrize(
    "kwargs, name_text",
    [
        ({"\ud800x": 1}, "\ufffd\ufffd\ufffdx"),
        ({"te\udfffxt": 1}, "te\ufffd\ufffd\ufffdxt"),
        ({"\udc80\ud800": 1}, "\ufffd" * 6),
    ],
)
def test_keyword_name_without_utf8_form_is_unexpected(kwargs, name_text):
    with pytest.raises(TypeError) as raised:
        lexical_score("t", "q", **kwargs)
    assert raised.value.args == (unexpected(name_text),)
    # The name's own encoding error is dropped, not chained.
    assert raised.value.__context__ is None


@pytest.mark.parametrize(
    "args",
    [(1, "q"), ("t", None), (b"t", "q")],
)
def test_conversion_error_has_no_cause_and_suppresses_context(args):
    with pytest.raises(TypeError) as raised:
        lexical_score(*args)
    assert raised.value.__cause__ is None
    assert raised.value.__suppress_context__ is True
    assert raised.value.__context__ is None


class Shouting(str):
    def __str__(self):
        return "SOMETHING ELSE ENTIRELY"


@pytest.mark.parametrize(
    "text, query",
    [
        ("The Cat sat on the mat", "cat dog"),
        ("x" * 64, "x" * 64 + " y"),
        ("The Cat sat on the mat " * 8, "mat cat dog"),
        ("Η ΟΔΟΣ ήταν ήσυχη", "οδος ΟΔΟΣ οδοσ"),
        ("\u0130" * 40, "i \u0130"),
        (Shouting("the cat"), Shouting("cat")),
        ("the cat", "   "),
    ],
    ids=["short-ascii", "at-the-limit", "long-ascii", "greek", "lengthening", "subclass", "refused"],
)
def test_every_way_of_calling_gives_the_same_outcome(text, query):
    # Plain positional calls of ASCII strings take a shorter road than the
    # others; the outcome must not show which road was taken.
    def outcome(call):
        try:
            return call()
        except RuntimeError as error:
            return ("RuntimeError", error.args)

    positional = outcome(lambda: lexical_score(text, query))
    assert outcome(lambda: lexical_score(text=text, query=query)) == positional
    assert outcome(lambda: lexical_score(str.__str__(text), str.__str__(query))) == positional


def test_calls_keep_no_reference_to_their_arguments():
    # Made at run time, so that none of them is an immortal constant.
    text, query, other = "".join(["the ", "text"]), "".join(["the ", "query"]), [1]
    counts = lambda: [sys.getrefcount(o) for o in (text, query, other)]
    before = counts()
    for _ in range(100):
        assert lexical_score(text, query) == 0.5
        assert lexical_score(query=query, text=text) == 0.5
        for args, kwargs in [((text, query, other), {}), ((other, query), {}),
                             ((text, other), {}), ((text,), {"query": other}),
                             ((text, query), {"text": other})]:
            with pytest.raises(TypeError):
                lexical_score(*args, **kwargs)
    del args, kwargs
    assert counts() == before


def test_result_that_cannot_be_made_is_a_panic():
    _testcapi = pytest.importorskip("_testcapi")
    assert hasattr(_testcapi, "set_nomemory")
    script = textwrap.dedent("""
        import sys, _testcapi
        from _corvane import lexical_score
        seen = []
        sys.unraisablehook = lambda u: seen.append(u.exc_type.__name__)
        # Empty the float free list so that the next float is allocated.
        keep = [i + 0.5 for i in range(100000)]
        _testcapi.set_nomemory(0, 1)
        try:
            lexical_score("abc", "abc")
        except BaseException as error:
            _testcapi.remove_mem_hooks()
            caught = error
        else:
            _testcapi.remove_mem_hooks()
            caught = None
        print(type(caught).__module__, type(caught).__name__, caught.args, seen)
        print(isinstance(caught, Exception))
    """)
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    assert out.stdout.splitlines() == [
        "pyo3_runtime PanicException ('PyObject pointer is null',) ['MemoryError']",
        "False",
    ]
    assert "PyObject pointer is null" in out.stderr
