"""corvane: the share of a query's words found in a text, lowercased by the
full Unicode rules, for one text or many.

    >>> import corvane
    >>> corvane.lexical_score("The Cat sat on the mat", "cat dog")
    0.5
    >>> query = corvane.Query("cat dog")
    >>> query.score_many(["The Cat sat", "a dog", "neither"])
    [0.5, 0.5, 0.0]
    >>> query.matched("The Cat sat")
    ('cat',)
    >>> corvane.extract("cat dog", ["a dog", "cat and dog", "none"], limit=2)
    [('cat and dog', 1.0, 1), ('a dog', 0.5, 0)]

`lexical_score` is `_corvane.lexical_score` itself. `Query`, `extract` and
`cdist` score many texts with the interpreter released, on `workers` threads
(-1: every CPU this process may use).
"""

from _corvane import lexical_score

from ._native import Query, ScoreMatrix, cdist, extract

__all__ = ["Query", "ScoreMatrix", "cdist", "extract", "lexical_score"]
