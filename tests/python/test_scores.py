"""Scores as Python sees them: exact single-precision values widened to
float, Unicode white space, full lowercasing with final sigma, and the
refused query."""

import pytest

from _corvane import lexical_score
from corvane_testing import ALL_SPACES, EMPTY_QUERY, WHITE_SPACE

# Look-alikes that are not white space.
NOT_WHITE_SPACE = ["\0", "\x1c", "\x1d", "\x1e", "\x1f", "\u180e", "\u200b", "\u2060",
                   "\ufeff"]


@pytest.mark.parametrize(
    "text, query, expected",
    [
        ("The Cat sat", "cat dog", 0.5),
        ("a", "a b c", 0.3333333432674408),
        ("a b", "a b c", 0.6666666865348816),
        ("the dog", "the the cat", 0.6666666865348816),
        ("a", "a b c d e f g", 0.1428571492433548),
        ("abcde", "a b c d e z", 0.8333333134651184),
        ("a", "a b c d", 0.25),
        ("abc", "a b c d", 0.75),
        ("", "a b", 0.0),
        (" \t\n", "cat", 0.0),
        ("dog", "cat", 0.0),
        ("cat", "cat", 1.0),
        ("concatenate", "cat", 1.0),
        ("hello world", "hello,", 0.0),
        ("Hello World", "WORLD hello", 1.0),
        ("the cat", " \t cat \u3000", 1.0),
        ("x\u200by", "\u200b", 1.0),
        ("xy", "\u200b", 0.0),
        ("x\x1fy", "\x1f", 1.0),
        ("xy", "\x1f", 0.0),
        ("L'ÉCOLE", "école", 1.0),
        ("Straße", "STRASSE", 0.0),
        ("STRASSE", "strasse", 1.0),
        ("kilo", "\u212a", 1.0),
        ("ΟΔΟΣ", "οδος", 1.0),
        ("ΟΔΟΣ", "ΟΔΟΣ", 1.0),
        ("ΟΔΟΣ", "οδοσ", 0.0),
        ("ΑΣΑ", "ΣΑ", 1.0),
        ("ΑΣΑ", "ΑΣ", 0.0),
        ("ΑΣ ΑΣΑ", "ΑΣ", 1.0),
        ("i", "\u0130", 0.0),
        ("\u0130", "i", 1.0),
        ("\u0130STANBUL", "istanbul", 0.0),
        ("\u0130STANBUL", "i\u0307stanbul", 1.0),
        ("caf\u00e9", "cafe\u0301", 0.0),
        ("cafe\u0301", "caf\u00e9", 0.0),
        ("\U0001F600 smile", "\U0001F600", 1.0),
    ],
)
def test_scores(text, query, expected):
    result = lexical_score(text, query)
    assert type(result) is float
    assert result == expected


# Single words and what their full lowercase form must be, judged by the
# word alone (final sigma included).
@pytest.mark.parametrize(
    "word, lowered",
    [
        ("ΟΔΟΣ", "οδος"),
        ("ΣΑ", "σα"),
        ("Σ", "σ"),
        ("ΑΣΑ", "ασα"),
        ("ΑΣ.", "ας."),
        ("ΑΣ'Α", "ασ'α"),
        ("ΑΣ1", "ας1"),
        ("1Σ", "1σ"),
        ("AΣ", "aς"),
        ("\u02b0Σ", "\u02b0σ"),
        ("Α\u0345Σ", "α\u0345ς"),
        ("\u0130", "i\u0307"),
        ("\u212a", "k"),
        ("\u2126", "\u03c9"),
        ("\u00c9", "\u00e9"),
        ("\u01c4", "\u01c6"),
        ("\u01c5", "\u01c6"),
        ("\u03f9", "\u03f2"),
        ("\u1e9e", "\u00df"),
        ("\u13a0", "\uab70"),
        ("\u10a0", "\u2d00"),
        ("\ua7ce", "\ua7cf"),
        ("\ua7d2", "\ua7d3"),
        ("\ua7d4", "\ua7d5"),
        ("\U00016ea0", "\U00016ebb"),
        ("\U00016eb8", "\U00016ed3"),
        ("Straße", "straße"),
    ],
)
def test_word_lowercases_to(word, lowered):
    assert lexical_score(lowered, word) == 1.0
    other_sigma = lowered.translate({0x3C2: 0x3C3, 0x3C3: 0x3C2})
    if other_sigma != lowered:
        assert lexical_score(other_sigma, word) == 0.0


@pytest.mark.parametrize("ordinary", NOT_WHITE_SPACE, ids=lambda c: f"U+{ord(c):04X}")
def test_other_code_points_stay_inside_words(ordinary):
    assert lexical_score("a b", f"a{ordinary}b") == 0.0
    assert lexical_score(f"xa{ordinary}by", f"a{ordinary}b") == 1.0
    assert lexical_score("a", ordinary) == 0.0


@pytest.mark.parametrize(
    "text, query",
    [
        ("anything", ""),
        ("", ""),
        ("anything", "   "),
        ("anything", " \t\n\xa0\u3000"),
        ("", ALL_SPACES),
    ],
)
def test_query_without_words_is_refused(text, query):
    with pytest.raises(RuntimeError) as raised:
        lexical_score(text, query)
    assert type(raised.value) is RuntimeError
    assert raised.value.args == (EMPTY_QUERY,)
    assert raised.value.__cause__ is None


def test_long_inputs():
    text = "lorem ipsum " * 100_000 + "needle"
    assert lexical_score(text, "needle haystack") == 0.5
    query = " ".join(["ipsum"] * 6 + ["absent"])
    assert lexical_score(text, query) == 0.8571428656578064
