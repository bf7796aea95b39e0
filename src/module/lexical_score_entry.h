// The native function behind the Python callable `lexical_score`.
//
// Contract: `lexical_score_entry` has the interpreter's METH_FASTCALL |
// METH_KEYWORDS signature and is called with the thread attached; `self` is
// null (METH_STATIC) and unused, `args` holds `nargs` positional values and
// then one value per name in `kwnames` (a tuple, or null). It binds the
// values to `text` and `query` as `lexical_score_params` describes, views
// each one's text in the form that the `str` (or subclass) already stores,
// through `argument_text`: UTF-8 when it is ASCII or keeps a UTF-8 form,
// else its own 1-, 2- or 4-byte code points, no UTF-8 copy being made. It
// scores them with `compute_lexical_score_any_form` (two positional ASCII
// strings go straight to `compute_lexical_score`, to the same result) and
// returns a new `float` holding the single-precision score exactly.
// Otherwise it returns null with the exception set: TypeError for a call
// that does not fit the signature or an argument that is not a `str`, the
// interpreter's UnicodeEncodeError for a lone surrogate, RuntimeError with
// the score error's display for a refused query, PanicException for an
// internal fault; an error of the text comes before any of the query's.
// It never throws.
#pragma once

#include <Python.h>

namespace corvane::module {

PyObject* lexical_score_entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) noexcept;

}  // namespace corvane::module
