// Binding the arguments of a `lexical_score` call to its parameters, and
// the messages of the calls that do not fit.
//
// Contract: `bind_arguments(args, nargs, kwnames)` takes the vectorcall
// arguments (with the thread attached) and gives one borrowed reference per
// parameter of `lexical_score_params`, in parameter order, or the TypeError
// of the first misfit, in this order: more positional values than
// parameters (keywords unread); then, keyword by keyword, a name that is
// not exactly a parameter's (or has no UTF-8 form) and a parameter given
// twice; then the parameters left without a value, all named. Messages are
// the interpreter's own ("lexical_score() takes 2 positional arguments but
// 3 were given", ...), complete when the error is made.
// Complexity: O(nargs + keywords * parameters * name length).
#pragma once

#include <Python.h>

#include <array>
#include <expected>

#include "boundary/errors/py_err.h"
#include "module/lexical_score_params.h"

namespace corvane::module {

inline constexpr std::size_t kParameterCount = lexical_score_params.positional_names.size();

// One borrowed reference per parameter, in parameter order.
using ArgumentSlots = std::array<PyObject*, kParameterCount>;

std::expected<ArgumentSlots, boundary::PyErr> bind_arguments(PyObject* const* args,
                                                             Py_ssize_t nargs, PyObject* kwnames);

}  // namespace corvane::module
