// The Python type `corvane.Query`: a query prepared once for many texts.
//
// Contract (thread attached):
// - `make_query_type(module)` makes the type for the module (a heap type,
//   final and immutable); `query_type(module)` finds it again.
// - `Query(query)` takes a `str` (subclasses included, by their text) and
//   refuses, as `lexical_score` does for its query argument, a non-`str`
//   (TypeError), a lone surrogate (UnicodeEncodeError) and a query without
//   words (RuntimeError "invalid input: query cannot be empty"). Its
//   `words` are the words as written, in order, repeats kept; it is
//   hashable and equal to another Query of the same text.
// - `prepared_query(object)` gives the prepared query of a Query, or null
//   for anything else; `query_from(module, object)` gives a Query for a
//   Query (itself) or a `str` (a new one), or the error.
// Methods: `score(text)`, `matched(text)` and `score_many(texts, *,
// workers=1)`, whose docstrings say what they give.
#pragma once

#include <Python.h>

#include <expected>

#include "boundary/errors/py_err.h"
#include "boundary/owned_ref.h"
#include "scoring/prepared_query.h"

namespace corvane::batch {

std::expected<boundary::OwnedRef, boundary::PyErr> make_query_type(PyObject* module);
PyTypeObject* query_type(PyObject* module);

const scoring::PreparedQuery* prepared_query(PyObject* object) noexcept;
std::expected<boundary::OwnedRef, boundary::PyErr> query_from(PyObject* module, PyObject* object);

}  // namespace corvane::batch
