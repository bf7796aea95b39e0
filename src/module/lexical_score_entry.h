// The native function behind the Python callable `lexical_score`.
//
// Contract: `lexical_score_entry` has the interpreter's METH_FASTCALL |
// METH_KEYWORDS signature and is called with the thread attached; `self` is
// null (METH_STATIC) and unused, `args` holds `nargs` positional values and
// then one value per name in `kwnames` (a tuple, or null). It binds the
// values to `text` and `query` as `lexical_score_params` describes, takes
// each one's UTF-8 form (`str` and its subclasses only), scores them with
// `compute_lexical_score` and returns a new `float` holding the
// single-precision score exactly. Otherwise it returns null with the
// exception set: TypeError for a call that does not fit the signature or an
// argument that is not a `str`, the interpreter's UnicodeEncodeError for a
// lone surrogate, RuntimeError with the score error's display for a refused
// query, PanicException for an internal fault. It never throws.
#pragma once

#include <Python.h>

namespace corvane::module {

PyObject* lexical_score_entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) noexcept;

}  // namespace corvane::module
