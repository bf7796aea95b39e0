"""lexical_score against a plain Python model of the same rules, on
generated texts and queries."""

import pytest
from hypothesis import given, settings, strategies as st

from _corvane import lexical_score
from corvane import Query
from corvane_testing import WHITE_SPACE, float32_quotient, reference_score, words_of


@pytest.mark.parametrize(
    "hits, count, expected",
    [(1, 3, 0.3333333432674408), (2, 3, 0.6666666865348816), (1, 7, 0.1428571492433548),
     (5, 6, 0.8333333134651184), (1, 2, 0.5), (3, 4, 0.75), (0, 5, 0.0), (9, 9, 1.0),
     # The count is made single precision before it divides.
     (1, 2**24 + 1, 2.0**-24)],
)
def test_model_quotient_is_single_precision(hits, count, expected):
    assert float32_quotient(hits, count) == expected


# Unassigned code points are left out, so the code points that Unicode 17.0
# gives lowercase mappings never stand next to a sigma, where 16.0 and 17.0
# would judge the final-sigma context differently.
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
        # A prepared query searches text of code points as it is, without
        # lowercasing it first: short, and past the short path.
        longer = "-" * 61 + text
        assert Query(query).score(text) == expected
        assert Query(query).score(longer) == reference_score(longer, query)


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

