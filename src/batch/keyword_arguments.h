// Arguments of the batch functions: positional ones, then keyword-only
// ones, bound by name as the interpreter's own functions do.
//
// Contract (thread attached): `bind(function, positional, keyword, args,
// nargs, kwnames, out)` fills `out` (positional.size() + keyword.size()
// slots, borrowed, null where not given) from a vectorcall's arguments: the
// first positional.size() values by position, all of them required, and the
// keyword-only names by keyword. A missing, repeated or unknown argument,
// or too many positional ones, gives the TypeError that names `function`
// and the argument.
#pragma once

#include <Python.h>

#include <expected>
#include <span>
#include <string_view>

#include "boundary/errors/py_err.h"

namespace corvane::batch {

std::expected<void, boundary::PyErr> bind(std::string_view function,
                                          std::span<const std::string_view> positional,
                                          std::span<const std::string_view> keyword,
                                          PyObject* const* args, Py_ssize_t nargs,
                                          PyObject* kwnames, std::span<PyObject*> out);

}  // namespace corvane::batch
