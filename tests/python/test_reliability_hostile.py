"""Hostile input: huge texts and queries, every scalar value, white space in
every position, str subclasses that misbehave, lone surrogates and NUL bytes
anywhere, and subinterpreters. Each case is checked against a plain Python
oracle, and none may crash the interpreter."""

import os
import sys

import pytest

from _corvane import lexical_score
from corvane_testing import ALL_SPACES, EMPTY_QUERY, WHITE_SPACE, lowered, reference_score

SANITIZED = os.environ.get("CORVANE_SANITIZED") == "1"


def outcome(text, query):
    try:
        return lexical_score(text, query)
    except RuntimeError as error:
        assert error.args == (EMPTY_QUERY,)
        return None


# --- size -----------------------------------------------------------------------


@pytest.mark.skipif(SANITIZED, reason="too large under a sanitizer")
@pytest.mark.thread_unsafe(reason="one 256 MiB text and its copy at a time")
@pytest.mark.timeout(300)
def test_text_of_256_mib_in_one_call():
    # Upper case throughout, so the whole text is lowercased into a copy.
    text = "XY" * (128 << 20) + "NEEDLE"
    assert len(text) >= 256 << 20
    assert lexical_score(text, "needle xy absent yx") == 0.75
    del text


@pytest.mark.timeout(300)
@pytest.mark.parametrize(
    "make_query",
    [
        lambda n: " ".join(f"w{i}" for i in range(n)),
        lambda n: "\u3000".join(f"Ω{i:X}" for i in range(n)),
        lambda n: "\t\n".join("A" if i % 2 else "ΣΑ" for i in range(n)),
    ],
    ids=["ascii-words", "upper-hex-words-ideographic-space", "repeated-words"],
)
def test_query_of_a_million_words(make_query):
    query = make_query(1_000_000)
    text = "w1 w22 w333 ω1f σα ΩABCDE"
    assert lexical_score(text, query) == reference_score(text, query)


# --- every scalar value ---------------------------------------------------------


def one_character_pairs(cp):
    """(text, query) pairs for one code point: itself, against its lowercase
    form on either side, and against its uppercase form on either side."""
    ch = chr(cp)
    lower, upper = lowered(ch), ch.upper()
    return {(ch, ch), (lower, ch), (ch, lower), (ch, upper), (upper, ch)}


@pytest.mark.timeout(600)
@pytest.mark.parametrize("plane", range(17), ids=lambda p: f"plane-{p}")
def test_every_scalar_value_as_text_and_query(plane):
    mismatches = []
    for cp in range(plane << 16, (plane + 1) << 16):
        if 0xD800 <= cp <= 0xDFFF:
            continue
        for text, query in one_character_pairs(cp):
            got, want = outcome(text, query), reference_score(text, query)
            if got != want:
                mismatches.append((f"U+{cp:04X}", text, query, got, want))
    assert mismatches[:20] == []


# --- white space in every position ----------------------------------------------

SEPARATORS = [*WHITE_SPACE, ALL_SPACES, ALL_SPACES[::-1], ALL_SPACES[::2] + ALL_SPACES[1::2]]


@pytest.mark.parametrize("sep", SEPARATORS,
                         ids=lambda s: "+".join(f"U+{ord(c):04X}" for c in s[:3]))
def test_white_space_separates_in_every_position(sep):
    text = "xABy CD"
    words = ["ab", "cd", "zz"]
    # Four places around three words; by default nothing outside, one
    # space inside. The separator takes each place in turn, alone and doubled.
    for place in range(4):
        for run in (sep, sep + sep, sep + " " + sep):
            around = ["", " ", " ", ""]
            around[place] = run
            query = "".join(a + w for a, w in zip(around, words)) + around[3]
            assert lexical_score(text, query) == 0.6666666865348816, ascii(query)
    every = sep.join(["", *words, ""])
    assert lexical_score(text, every) == 0.6666666865348816
    # White space inside the text stays in it: nothing is removed or joined.
    assert lexical_score(f"ab{sep}cd", "bc") == 0.0
    assert lexical_score(f"ab{sep}cd", f"{sep}AB{sep}CD{sep}bc") == 0.6666666865348816


@pytest.mark.parametrize("query", [*WHITE_SPACE, ALL_SPACES, ALL_SPACES * 1000, ""],
                         ids=lambda q: f"len-{len(q)}-U+{ord(q[0]):04X}" if q else "empty")
def test_white_space_only_query_is_refused(query):
    with pytest.raises(RuntimeError) as raised:
        lexical_score("text with\u3000spaces " + ALL_SPACES, query)
    assert raised.value.args == (EMPTY_QUERY,)


# --- str subclasses that misbehave ----------------------------------------------


class Armed:
    """Arms the dunders of every Hostile instance once they have been put
    where the call finds them: the dict that ** unpacks hashes its keys."""
    on = False


def _hostile(name):
    def method(self, *args, **kwargs):
        if Armed.on:
            raise ZeroDivisionError(f"hostile {name}")
        return getattr(str, name)(self, *args, **kwargs)
    return method


# Every method that the binding might be tempted to call raises once armed.
Hostile = type("Hostile", (str,), {
    name: _hostile(name)
    for name in ["__str__", "__repr__", "__format__", "__eq__", "__ne__", "__lt__", "__le__",
                 "__gt__", "__ge__", "__hash__", "__len__", "__iter__", "__getitem__",
                 "__contains__", "__add__", "encode", "lower", "casefold", "split", "strip"]
})


class WrongText(str):
    def __str__(self):
        return "something else entirely"


@pytest.fixture
def armed():
    Armed.on = True
    try:
        yield
    finally:
        Armed.on = False


@pytest.mark.thread_unsafe(reason="arms a class-wide flag")
@pytest.mark.parametrize(
    "args, kwargs, expected",
    [
        ((Hostile("The Cat"), "cat dog"), {}, 0.5),
        (("The Cat", Hostile("cat dog")), {}, 0.5),
        ((Hostile("The Cat"), Hostile("CAT dog")), {}, 0.5),
        ((), {Hostile("text"): "The Cat", "query": "cat dog"}, 0.5),
        ((), {"text": "The Cat", Hostile("query"): "cat dog"}, 0.5),
        ((), {Hostile("query"): Hostile("cat dog"), Hostile("text"): Hostile("The Cat")}, 0.5),
        (("The Cat",), {Hostile("query"): "cat"}, 1.0),
        ((WrongText("The Cat"), WrongText("cat")), {}, 1.0),
        ((), {WrongText("text"): "a", WrongText("query"): "a"}, 1.0),
    ],
    ids=["text", "query", "both", "keyword-text", "keyword-query", "all-hostile",
         "mixed-positional", "str-says-otherwise", "keyword-str-says-otherwise"],
)
def test_misbehaving_str_subclass_is_used_by_its_stored_text(armed, args, kwargs, expected):
    assert lexical_score(*args, **kwargs) == expected


@pytest.mark.thread_unsafe(reason="arms a class-wide flag and replaces sys.unraisablehook")
@pytest.mark.parametrize(
    "name, positional, message, unraisable",
    [
        (Hostile("texts"), ("t", "q"),
         "lexical_score() got an unexpected keyword argument '<unprintable Hostile object>'", True),
        (WrongText("Text"), ("t", "q"),
         "lexical_score() got an unexpected keyword argument 'something else entirely'", False),
        (Hostile("text"), ("t",), "lexical_score() got multiple values for argument 'text'",
         False),
    ],
    ids=["unprintable-name", "name-str-says-otherwise", "name-matches-by-its-bytes"],
)
def test_misbehaving_keyword_name_reaches_the_message(monkeypatch, name, positional, message,
                                                      unraisable):
    seen = []
    monkeypatch.setattr(sys, "unraisablehook", lambda u: seen.append((type(u.exc_value), u.object)))
    kwargs = {name: 1}
    Armed.on = True
    try:
        with pytest.raises(TypeError) as raised:
            lexical_score(*positional, **kwargs)
    finally:
        Armed.on = False
    assert raised.value.args == (message,)
    # The failed string form goes to the hook together with the name.
    assert seen == ([(ZeroDivisionError, name)] if unraisable else [])


# Keyword names that Python syntax cannot make: the C interface passes any
# tuple as the names. What has no UTF-8 form is an unexpected keyword, shown
# by its string form.
UNEXPECTED = "lexical_score() got an unexpected keyword argument "
MULTIPLE = "lexical_score() got multiple values for argument "


@pytest.mark.thread_unsafe(reason="replaces sys.unraisablehook")
@pytest.mark.parametrize(
    "args, kwnames, result",
    [
        (("t", "q", "x"), (5,), UNEXPECTED + "'5'"),
        (("t", "q", "x"), (None,), UNEXPECTED + "'None'"),
        (("t", "q", "x"), (b"text",), UNEXPECTED + "'b'text''"),
        (("t", "q", "x"), (Hostile("texts"),), UNEXPECTED + "'texts'"),
        (("t", "q", "q2"), ("query", "query"), MULTIPLE + "'query'"),
        (("a", "b"), ("text", "text"), MULTIPLE + "'text'"),
        (("q", "The Cat"), ("query", "text"), 0.0),
        (("cat", "The Cat"), ("query", "text"), 1.0),
        (("The Cat", "cat"), (), 1.0),
        ((), (), "lexical_score() missing 2 required positional arguments: 'text' and 'query'"),
    ],
    ids=["int", "none", "bytes", "str-subclass", "query-twice", "text-twice", "both-keywords",
         "both-keywords-hit", "no-keywords", "nothing"],
)
def test_keyword_names_straight_from_the_c_interface(monkeypatch, args, kwnames, result):
    _testcapi = pytest.importorskip("_testcapi")
    seen = []
    monkeypatch.setattr(sys, "unraisablehook", seen.append)
    try:
        got = _testcapi.pyobject_vectorcall(lexical_score, args, kwnames)
    except TypeError as error:
        assert error.__context__ is None
        got = error.args[0]
    assert got == result
    assert seen == []


# The unraisable-error hook runs in the middle of building a message; a hook
# that calls the module again, down to the recursion limit, or raises a
# fault of its own, leaves the outer call intact.
REENTRANT_HOOK = """
    import sys
    from _corvane import lexical_score
    import _corvane_probe as probe

    class Unprintable(str):
        def __str__(self):
            raise ValueError("no str")

    calls = [0]
    def hook(unraisable):
        calls[0] += 1
        {body}

    sys.unraisablehook = hook
    try:
        lexical_score("t", "q", **{{Unprintable("zz"): 1}})
    except BaseException as e:
        print(type(e).__name__, e.args)
    print(calls[0] > 0, lexical_score("The Cat", "cat dog"))
"""


@pytest.mark.thread_unsafe(reason="runs subprocesses")
@pytest.mark.timeout(120)
@pytest.mark.parametrize(
    "body",
    [
        'lexical_score("t", "q", **{Unprintable("zz"): 1})',
        'probe.raise_fault("fault inside the hook")',
        'lexical_score("\\ud800", "q")',
    ],
    ids=["recursing", "faulting", "raising"],
)
def test_unraisable_hook_that_calls_back_in(run_snippet, body):
    done = run_snippet(REENTRANT_HOOK.format(body=body))
    assert done.returncode == 0, done.stderr[-3000:]
    assert done.stdout == (
        "TypeError (\"lexical_score() got an unexpected keyword argument "
        "'<unprintable Unprintable object>'\",)\nTrue 0.5\n")


# --- lone surrogates and NUL bytes anywhere -------------------------------------

SURROGATES = ["\ud800", "\udbff", "\udc00", "\udfff"]


def inserted(base, ch):
    return [base[:i] + ch + base[i:] for i in range(len(base) + 1)]


@pytest.mark.parametrize("surrogate", SURROGATES, ids=lambda s: f"U+{ord(s):04X}")
def test_lone_surrogate_anywhere_in_an_argument_raises_encode_error(surrogate):
    for bad in inserted("a Σ b", surrogate):
        for args, kwargs in [((bad, "q"), {}), (("t", bad), {}), ((bad, bad), {}),
                             ((bad, " "), {}), ((), {"query": bad, "text": "t"}),
                             ((bad, 5), {})]:
            with pytest.raises(UnicodeEncodeError) as raised:
                lexical_score(*args, **kwargs)
            assert raised.value.object == bad
            assert raised.value.start == bad.index(surrogate)
            assert raised.value.reason == "surrogates not allowed"
    # The text is converted first: a wrong type there is reported instead.
    with pytest.raises(TypeError):
        lexical_score(5, surrogate)


@pytest.mark.parametrize("surrogate", SURROGATES, ids=lambda s: f"U+{ord(s):04X}")
def test_lone_surrogate_anywhere_in_a_keyword_name_is_unexpected(surrogate):
    for name in [*inserted("text", surrogate), *inserted("query", surrogate), surrogate * 2]:
        with pytest.raises(TypeError) as raised:
            lexical_score("t", "q", **{name: "x"})
        shown = name.replace(surrogate, "\ufffd" * 3)
        assert raised.value.args == (
            f"lexical_score() got an unexpected keyword argument '{shown}'",)


@pytest.mark.parametrize("text", ["The Cat", "a\0b", "\0", "Σ\0Σ", "\0İ\0"],
                         ids=["plain", "inner", "only", "sigmas", "dotted-i"])
def test_nul_anywhere(text):
    for base in ["cat", "ab", "σ", "i\u0307"]:
        for query in [*inserted(base, "\0"), "\0", "\0 \0", f"{base}\0 {base}"]:
            for t in inserted(text, "\0") + [text]:
                assert outcome(t, query) == reference_score(t, query), (ascii(t), ascii(query))


# --- subinterpreters ------------------------------------------------------------


@pytest.mark.thread_unsafe(reason="starts interpreters in subprocesses")
@pytest.mark.timeout(120)
@pytest.mark.parametrize(
    "source, stdout",
    [
        ("""
            from concurrent import interpreters
            interp = interpreters.create()
            try:
                interp.exec("import _corvane")
            except interpreters.ExecutionFailed as failed:
                print(failed.excinfo.type.__name__, failed.excinfo.msg)
            interp.close()
            import _corvane
            print(_corvane.lexical_score("The Cat", "cat dog"))
         """,
         "ImportError module _corvane does not support loading in subinterpreters\n0.5\n"),
        ("""
            import _interpreters
            interp = _interpreters.create("legacy")
            print(_interpreters.exec(interp, '''
            import _corvane
            print(_corvane.__all__, _corvane.lexical_score("The Cat", "cat dog"))
            '''))
            _interpreters.destroy(interp)
         """,
         "['lexical_score'] 0.5\nNone\n"),
        # Everything made once per process (attribute names, PanicException)
        # is made inside a legacy subinterpreter that is then destroyed; the
        # main interpreter goes on using it.
        ("""
            import _interpreters
            interp = _interpreters.create("legacy")
            print(_interpreters.exec(interp, '''
            import _corvane, _corvane_probe as probe
            try:
                probe.raise_fault("in the subinterpreter")
            except BaseException as e:
                print(type(e).__qualname__, e.args)
            '''))
            _interpreters.destroy(interp)
            import gc; gc.collect()
            import _corvane, _corvane_probe as probe
            try:
                probe.raise_fault("in the main interpreter")
            except BaseException as e:
                print(type(e).__module__, type(e).__qualname__, e.args, type(e).__doc__[:4])
            print(_corvane.__all__, _corvane.lexical_score("The Cat", "cat dog"))
         """,
         "PanicException ('in the subinterpreter',)\nNone\n"
         "pyo3_runtime PanicException ('in the main interpreter',) \nThe\n"
         "['lexical_score'] 0.5\n"),
    ],
    ids=["own-gil-refused", "legacy-imports-and-scores", "legacy-makes-process-wide-objects"],
)
def test_subinterpreter(run_snippet, source, stdout):
    done = run_snippet(source)
    assert done.returncode == 0, done.stderr
    assert done.stdout == stdout
