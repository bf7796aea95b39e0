"""Strings in each of the interpreter's forms (1, 2 or 4 bytes per code
point, a kept UTF-8 form, lone surrogates) score as their text, and no call
leaves a UTF-8 form behind on its arguments."""

import ctypes
import sys

import pytest

from _corvane import lexical_score
from corvane_testing import reference_score

# One alphabet per form: Latin-1, then two bytes, then four bytes a code point.
ALPHABETS = {
    1: "abc D\u00c9f \u00e0\u00ff\u00d7.",
    2: "\u039f\u0394\u039f\u03a3 \u03a3' \u0130a\u4e2d\u2019\u212a\u00c9",
    4: "\u03a3a\U0001f600 \U00010400\u0301\u00df",
}
# Around the short path's limit and the sizes at which long texts are cut.
LENGTHS = [0, 1, 63, 64, 65, 8191, 8193, 10923, 16385, 40000]


def text_of(width, length):
    alphabet = ALPHABETS[width]
    return "".join(alphabet[(k * 7 + k // 13) % len(alphabet)] for k in range(length))


def keep_utf8(text):
    """Makes the interpreter keep the UTF-8 form of `text`, as some APIs do."""
    size = ctypes.c_ssize_t()
    ctypes.pythonapi.PyUnicode_AsUTF8AndSize.restype = ctypes.c_void_p
    ctypes.pythonapi.PyUnicode_AsUTF8AndSize(ctypes.py_object(text), ctypes.byref(size))
    return text


@pytest.mark.parametrize("width", [1, 2, 4])
@pytest.mark.parametrize("length", LENGTHS)
def test_every_form_scores_as_its_text(width, length):
    text = text_of(width, length)
    query = " ".join([text[:12], text[length // 2:length // 2 + 12], text[-9:],
                      ALPHABETS[width][:4] + "\u00de"])
    if not query.strip():
        query = "x"
    expected = reference_score(text, query)
    assert lexical_score(text, query) == expected
    # Equal strings of their own, whose UTF-8 form the interpreter keeps.
    kept_text, kept_query = keep_utf8(text_of(width, length)), keep_utf8(query.encode().decode())
    assert sys.getsizeof(kept_text) > sys.getsizeof(text) or text.isascii()
    assert lexical_score(kept_text, query) == lexical_score(text, kept_query) == expected


@pytest.mark.parametrize("width", [1, 2, 4])
def test_no_utf8_form_is_left_on_the_arguments(width):
    text, query = text_of(width, 5000), text_of(width, 40) + " " + ALPHABETS[width]
    sizes = sys.getsizeof(text), sys.getsizeof(query)
    lexical_score(text, query)
    assert (sys.getsizeof(text), sys.getsizeof(query)) == sizes


@pytest.mark.parametrize("surrogates", [
    "\ud800abc", "ab\udfffc" * 40, "abc\udc00", "\ud800\udc00", "x\udbff\udfffy" * 9,
    "\u4e2d\ud800", "\U0001f600\udc00", "\u00e9" * 70 + "\ud800",
])
@pytest.mark.parametrize("argument", ["text", "query"])
def test_surrogates_raise_the_interpreters_own_error(surrogates, argument):
    with pytest.raises(UnicodeEncodeError) as expected:
        surrogates.encode("utf-8")
    arguments = {"text": "plain text", "query": "plain"} | {argument: surrogates}
    with pytest.raises(UnicodeEncodeError) as raised:
        lexical_score(**arguments)
    assert str(raised.value) == str(expected.value)
    assert raised.value.args == expected.value.args


# A long text is scanned for surrogates as it is scored: its error must still
# come first, before a failing query or the empty query's refusal, and also
# where every word is found long before the surrogate.
LONG = "\u03a3\u03bf\u03c6\u03af\u03b1 " * 20000
@pytest.mark.parametrize("text", [
    LONG + "\ud800", "\udfff" + LONG, LONG[:30000] + "\udc00" + LONG[30000:],
    "\U0001f600 " * 30000 + "\ud800", "x\ud800" * 40,
], ids=["end", "start", "middle", "four-byte", "short"])
@pytest.mark.parametrize("query", [
    "\u03c3\u03bf\u03c6\u03af\u03b1", "", "  ", "\ud800", 1, "\U0001f600",
], ids=["found-early", "empty", "blank", "surrogate", "not-str", "four-byte"])
def test_a_surrogate_in_the_text_is_the_first_error(text, query):
    with pytest.raises(UnicodeEncodeError) as expected:
        text.encode("utf-8")
    with pytest.raises(UnicodeEncodeError) as raised:
        lexical_score(text, query)
    assert raised.value.args == expected.value.args
