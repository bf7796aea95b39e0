"""A short walk through every path of _corvane, for memory checkers.

Scores a few texts (final sigma, dotted capital I, Kelvin sign, a long
text), takes each kind of refusal (empty query, binding and type errors, a
lone surrogate), and repeats a call in a loop so that a per-call leak would
stand out. Exits non-zero on any unexpected result.
"""

import _corvane
from _corvane import lexical_score


def refused(kind, message, *args, **kwargs):
    try:
        lexical_score(*args, **kwargs)
    except kind as error:
        if message is not None and str(error) != message:
            raise AssertionError(f"{kind.__name__}: {error!s} != {message}") from None
        return
    raise AssertionError(f"no {kind.__name__} for {args!r} {kwargs!r}")


calls = 0
for text, query, score in [
    ("The Cat sat on the mat", "cat dog", 0.5),
    ("ΟΔΟΣ", "οδος ΟΔΟΣ", 1.0),
    ("ΑΣΑ", "ΑΣ", 0.0),
    ("\u0130STANBUL", "istanbul", 0.0),
    ("kilo", "\u212a", 1.0),
    ("the dog", "the the cat", 0.6666666865348816),
    ("", "a b", 0.0),
    ("abc " * 20000 + "ΑΣ", "ABC ας σ xyz" + " ABC" * 50, 52 / 54),
]:
    got = lexical_score(text, query)
    if got != score and abs(got - score) > 1e-6:
        raise AssertionError(f"lexical_score({text[:20]!r}, {query[:20]!r}) = {got}, not {score}")
    calls += 1
if lexical_score(query="cat", text="concatenate") != 1.0:
    raise AssertionError("keyword call")
calls += 1

refused(RuntimeError, "invalid input: query cannot be empty", "text", "")
refused(RuntimeError, "invalid input: query cannot be empty", "text", " \u3000\t")
refused(TypeError, "lexical_score() missing 1 required positional argument: 'query'", "t")
refused(TypeError, "lexical_score() takes 2 positional arguments but 3 were given", "t", "q", "x")
refused(TypeError, "lexical_score() got an unexpected keyword argument 'foo'", "t", "q", foo=1)
refused(TypeError, "argument 'text': 'int' object is not an instance of 'str'", 1, "q")
refused(TypeError, None, "t", None)
refused(UnicodeEncodeError, None, "\ud800", "q")
refused(UnicodeEncodeError, None, "t", "q\udfff")
calls += 9

for _ in range(300):
    lexical_score("Hello World ΟΔΟΣ", "world οδος x")
    calls += 1
assert _corvane.__all__ == ["lexical_score"]
print(f"module smoke: {calls} calls as expected")
