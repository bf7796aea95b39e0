"""lexical_score against a plain Python model of the same rules, on
generated texts and queries."""

import re
from fractions import Fraction

import pytest
from hypothesis import given, settings, strategies as st

from _corvane import lexical_score

WHITE_SPACE = "".join([*map(chr, range(0x09, 0x0E)), " ", "\x85", "\xa0", "\u1680",
                       *map(chr, range(0x2000, 0x200B)), "\u2028", "\u2029", "\u202f",
                       "\u205f", "\u3000"])
SEPARATORS = re.compile("[" + re.escape(WHITE_SPACE) + "]+")

# The interpreter's unicodedata is Unicode 16.0; these are the lowercase
# mappings that Unicode 17.0 adds. The code points are unassigned in 16.0,
# so the generators below never produce them next to a sigma (they leave
# out unassigned code points altogether), where 16.0 and 17.0 would judge
# the final-sigma context differently.
UNICODE_17_LOWERCASE = {0xA7CE: 0xA7CF, 0xA7D2: 0xA7D3, 0xA7D4: 0xA7D5,
                        **{0x16EA0 + i: 0x16EBB + i for i in range(25)}}


def words_of(query):
    return [word for word in SEPARATORS.split(query) if word]


def lowered(text):
    # str.lower() is the full default lowercase conversion, Final_Sigma
    # included, without locale tailoring.
    return text.lower().translate(UNICODE_17_LOWERCASE)


def float32_quotient(hits, count):
    """hits / count rounded once to the nearest single-precision value, ties
    to even (both counts are far below 2**24, so they are exact floats)."""
    exact = Fraction(hits, count)
    if exact == 0:
        return 0.0
    exponent = exact.numerator.bit_length() - exact.denominator.bit_length()
    if Fraction(2) ** exponent > exact:
        exponent -= 1
    # 2**exponent <= exact < 2**(exponent + 1); keep 24 significant bits.
    scaled = exact / Fraction(2) ** (exponent - 23)
    whole, rest = divmod(scaled, 1)
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and whole % 2 == 1):
        whole += 1
    return float(whole * Fraction(2) ** (exponent - 23))


def reference_score(text, query):
    """The score, or None for a query that holds no word."""
    words = words_of(query)
    if not words:
        return None
    haystack = lowered(text)
    hits = sum(lowered(word) in haystack for word in words)
    return float32_quotient(hits, len(words))


@pytest.mark.parametrize(
    "hits, count, expected",
    [(1, 3, 0.3333333432674408), (2, 3, 0.6666666865348816), (1, 7, 0.1428571492433548),
     (5, 6, 0.8333333134651184), (1, 2, 0.5), (3, 4, 0.75), (0, 5, 0.0), (9, 9, 1.0)],
)
def test_model_quotient_is_single_precision(hits, count, expected):
    assert float32_quotient(hits, count) == expected


ASSIGNED = st.characters(exclude_categories=("Cs", "Cn"))
# Letters whose lowercasing is special, final-sigma contexts (cased,
# case-ignorable, neither), and white space of every kind.
INTERESTING = st.sampled_from(
    list("aAbBiIkKsSzZ019 .,'-:^`_") + list(WHITE_SPACE) +
    ["\u03a3", "\u03c3", "\u03c2", "\u0391", "\u03b1", "\u039f", "\u0130", "\u0307",
     "\u212a", "\u00df", "\u1e9e", "\u00c9", "\u00e9", "\u0301", "\u0345", "\u02b0",
     "\u00ad", "\u200b", "\u200d", "\u2019", "\ufeff", "\u01c5", "\u2160", "\u24b6",
     "\u10a0", "\u13a0", "\U00010400", "\U0001d400", "\x00", "\x1f"])
CHARACTERS = st.one_of(INTERESTING, INTERESTING, ASSIGNED)


@st.composite
def text_and_query(draw):
    text = draw(st.text(CHARACTERS, max_size=40))

    def piece_of_text():
        start = draw(st.integers(0, len(text)))
        end = draw(st.integers(start, len(text)))
        piece = text[start:end]
        return draw(st.sampled_from([piece, piece.upper(), piece.lower(), piece.title()]))

    words = []
    for _ in range(draw(st.integers(0, 8))):
        words.append(piece_of_text() if draw(st.booleans())
                     else draw(st.text(CHARACTERS, min_size=1, max_size=8)))
    separators = st.text(st.sampled_from(WHITE_SPACE), min_size=1, max_size=3)
    query = draw(st.text(st.sampled_from(WHITE_SPACE), max_size=2))
    for word in words:
        query += word + draw(separators)
    return text, query


@settings(max_examples=400, deadline=None)
@given(text_and_query())
def test_score_matches_the_model(case):
    text, query = case
    expected = reference_score(text, query)
    if expected is None:
        with pytest.raises(RuntimeError, match="^invalid input: query cannot be empty$"):
            lexical_score(text, query)
    else:
        result = lexical_score(text, query)
        assert type(result) is float
        assert result == expected
        assert 0.0 <= result <= 1.0


@settings(max_examples=200, deadline=None)
@given(st.text(CHARACTERS, min_size=1, max_size=30))
def test_every_word_of_a_text_is_found_in_it(text):
    words = words_of(text)
    if not words:
        return
    assert lexical_score(text, text) == 1.0
    # Uppercase and lowercase are not inverse (ß, İ, final sigma): the
    # model judges the uppercased query.
    shouted = text.upper()
    assert lexical_score(text, shouted) == reference_score(text, shouted)

