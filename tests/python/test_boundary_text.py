"""Text forms that error and fault messages embed: an object's text under
the lossy rule, its fallbacks, and the debug text of an error value."""

import re
import sys

import pytest
from hypothesis import given, strategies as st

import _corvane_probe as probe

FFFD = "\ufffd"


@pytest.mark.parametrize("obj, text", [
    ("plain", "plain"),
    ("a\ud800b", "a" + FFFD * 3 + "b"),
    ("\ud800\udc00", FFFD * 6),
    ("\udfff", FFFD * 3),
    ("é✓😀", "é✓😀"),
    ("nul\0inside", "nul\0inside"),
    (3, "3"),
    (None, "None"),
    (KeyError("k"), "'k'"),
], ids=["ascii", "lone-surrogate", "two-surrogates", "low-surrogate", "non-ascii",
        "nul", "int", "none", "exception"])
def test_object_text(obj, text):
    assert probe.object_text(obj) == text


@pytest.mark.parametrize("obj, text", [
    ("a\ud800b", "'a\\ud800b'"),
    (KeyError("k"), "KeyError('k')"),
    (RuntimeError, "<class 'RuntimeError'>"),
])
def test_object_repr_text(obj, text):
    assert probe.object_repr_text(obj) == text


class StrRaises:
    def __str__(self):
        raise ValueError("no str")

    def __repr__(self):
        raise ValueError("no repr")


class StrNotAString:
    def __str__(self):
        return 5

    __repr__ = __str__


@pytest.mark.parametrize("obj, name, error", [
    (StrRaises(), "StrRaises", ValueError),
    (StrNotAString(), "StrNotAString", TypeError),
], ids=["raises", "not-a-str"])
@pytest.mark.parametrize("function", [probe.object_text, probe.object_repr_text],
                         ids=["str", "repr"])
def test_unprintable_object_falls_back_and_reports(monkeypatch, function, obj, name, error):
    seen = []
    monkeypatch.setattr(sys, "unraisablehook", lambda u: seen.append((type(u.exc_value), u.object)))
    assert function(obj) == f"<unprintable {name} object>"
    assert seen == [(error, obj)]


@pytest.mark.timeout(60)
def test_unprintable_object_whose_type_name_cannot_be_read(run_snippet):
    done = run_snippet("""
        import sys, _testcapi, _corvane_probe as probe
        # str() of this int fails; the hook then makes the next interpreter
        # allocation, that of the type's name, fail as well.
        sys.set_int_max_str_digits(640)
        sys.unraisablehook = lambda u: _testcapi.set_nomemory(0, 1)
        text = probe.object_text(10**5000)
        _testcapi.remove_mem_hooks()
        print(text)
    """)
    assert done.returncode == 0, done.stderr
    assert done.stdout == "<unprintable object>\n"


@pytest.mark.parametrize("data", [
    b"", b"abc", b"\xc3\xa9", b"\xed\xa0\x80", b"\xed\x9f\xbf", b"\xc0\x80", b"\xe0\x80\x80",
    b"\xe0\xa0", b"\xf0\x9f\x98", b"\xf4\x90\x80\x80", b"\xf5\x80", b"\x80\xbf", b"a\xffb",
    b"\xf0\x9f\x98\x80\xe2\x82",
])
def test_repair_utf8_replaces_maximal_subparts(data):
    # The interpreter's "replace" decoder follows the same recommended practice.
    assert probe.repair_utf8(data) == data.decode("utf-8", "replace")


@given(st.binary(max_size=64))
def test_repair_utf8_matches_the_interpreter_on_any_bytes(data):
    assert probe.repair_utf8(data) == data.decode("utf-8", "replace")


def quoted(text):
    """Naive oracle of the quoted form."""
    escapes = {'"': '\\"', "\\": "\\\\", "\n": "\\n", "\r": "\\r", "\t": "\\t", "\0": "\\0"}
    out = []
    for c in text:
        if c in escapes:
            out.append(escapes[c])
        elif ord(c) < 0x20 or ord(c) == 0x7F:
            out.append("\\u{%x}" % ord(c))
        else:
            out.append(c)
    return '"' + "".join(out) + '"'


@pytest.mark.parametrize("text", [
    "", 'say "hi"', "back\\slash", "line\nfeed\r\ttab\0nul", "\x01\x1f\x7f", "é✓😀",
])
def test_quoted_text(text):
    assert probe.quoted_text(text) == quoted(text)


def test_debug_text_without_traceback():
    assert probe.debug_text_of_lazy_runtime_error("lazy") == (
        "PyErr { type: <class 'RuntimeError'>, value: RuntimeError('lazy'), traceback: None }")


def test_debug_text_with_traceback():
    def fail():
        raise KeyError("k")

    try:
        fail()
    except KeyError as e:
        exc = e
    text = probe.debug_text_of(exc)
    head = "PyErr { type: <class 'KeyError'>, value: KeyError('k'), traceback: Some("
    assert text.startswith(head) and text.endswith(") }")
    body = text[len(head):-len(") }")]
    expected = "".join(
        ["Traceback (most recent call last):\n"]
        + [f'  File "{__file__}", line {line}, in {name}\n    {code}\n'
           for line, name, code in [
               (fail.__code__.co_firstlineno + 4, "test_debug_text_with_traceback", "fail()"),
               (fail.__code__.co_firstlineno + 1, "fail", 'raise KeyError("k")')]])
    assert body == quoted(expected)


@pytest.mark.timeout(60)
def test_debug_text_of_unformattable_traceback(run_snippet):
    done = run_snippet("""
        import sys, types, _corvane_probe as probe
        seen = []
        sys.unraisablehook = lambda u: seen.append((type(u.exc_value).__name__, u.object))
        try:
            raise KeyError("k")
        except KeyError as e:
            exc = e
        sys.modules["io"] = types.SimpleNamespace(StringIO=lambda: object())
        print(probe.debug_text_of(exc))
        print(seen == [("AttributeError", exc.__traceback__)], repr(exc.__traceback__))
    """)
    assert done.returncode == 0, done.stderr
    text, hooked = done.stdout.splitlines()
    ok, tb_repr = hooked.split(" ", 1)
    assert ok == "True"
    assert text == ("PyErr { type: <class 'KeyError'>, value: KeyError('k'), traceback: Some("
                    + quoted(f"<unformattable {tb_repr}>") + ") }")
    assert re.fullmatch(r"<traceback object at 0x[0-9a-f]+>", tb_repr)
