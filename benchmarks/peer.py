"""Pure-Python peers of `_corvane.lexical_score`, for speed comparison.

`lexical_score_peer` gives exactly the module's results: it splits the query
at the 25 Unicode white-space code points, lowercases the text once with
`str.lower` and each word by itself (both are the full default conversion,
final sigma included), counts the words found, and rounds the ratio to
single precision. It is written the way a careful Python programmer would
write it for speed: `str.split()` where it is exact, a compiled pattern
otherwise.

`lexical_score_naive` is the obvious version with `query.split()`, which
also splits at U+001C..U+001F, so it differs on queries holding those.
"""

import fractions
import re
import struct

# The white-space code points that separate query words. str.split() and
# str.isspace() also count U+001C..U+001F, which are not among them.
WHITE_SPACE = (
    "\t\n\v\f\r \x85\xa0\u1680"
    "\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a"
    "\u2028\u2029\u202f\u205f\u3000"
)
assert len(WHITE_SPACE) == 25

_RUNS = re.compile("[" + re.escape(WHITE_SPACE) + "]+")
_F32 = struct.Struct("f")
EMPTY_QUERY_MESSAGE = "invalid input: query cannot be empty"


def split_words(query):
    """The query's words, split at the 25 white-space code points."""
    # A printable string holds no control character, so none of U+001C..
    # U+001F, and str.split() is exact for it.
    if query.isprintable():
        return query.split()
    words = _RUNS.split(query)
    if words and not words[0]:
        del words[0]
    if words and not words[-1]:
        del words[-1]
    return words


def lexical_score_peer(text, query):
    words = query.split() if query.isprintable() else split_words(query)
    if not words:
        raise RuntimeError(EMPTY_QUERY_MESSAGE)
    lowered = text.lower()
    hits = 0
    for word in words:
        if word.lower() in lowered:
            hits += 1
    # hits / len(words) rounded to double, then to single precision, equals
    # the single-precision quotient of the two counts (checked by
    # `float32_rounding_is_exact` for every count the benchmark uses).
    return _F32.unpack(_F32.pack(hits / len(words)))[0]


# The same loop as `lexical_score_peer`, written out again on purpose: a shared
# helper would add a Python call to every timed call of both peers and so
# flatter the module's speed-up.
def lexical_score_naive(text, query):
    words = query.split()
    if not words:
        raise RuntimeError(EMPTY_QUERY_MESSAGE)
    lowered = text.lower()
    hits = 0
    for word in words:
        if word.lower() in lowered:
            hits += 1
    return _F32.unpack(_F32.pack(hits / len(words)))[0]


def float32_quotient(hits, count):
    """hits / count rounded once, to nearest with ties to even, to single
    precision; exact rational arithmetic. For 0 <= hits <= count."""
    if hits == 0:
        return 0.0
    q = fractions.Fraction(hits, count)
    exponent = q.numerator.bit_length() - q.denominator.bit_length()
    if fractions.Fraction(2) ** exponent > q:
        exponent -= 1
    # 2**exponent <= q < 2**(exponent + 1): 24 significant bits.
    scaled = q / fractions.Fraction(2) ** (exponent - 23)
    mantissa = round(scaled)  # round() on a Fraction rounds half to even
    return float(mantissa * fractions.Fraction(2) ** (exponent - 23))


def float32_rounding_is_exact(max_count):
    """Whether the peer's rounding equals one correctly rounded single-
    precision division for every hits <= count <= max_count."""
    for count in range(1, max_count + 1):
        for hits in range(count + 1):
            if _F32.unpack(_F32.pack(hits / count))[0] != float32_quotient(hits, count):
                return False
    return True
