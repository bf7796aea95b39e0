// The text of a `lexical_score` argument, as the scoring core reads it.
//
// Contract (thread attached):
// - `ascii_text(object)` views the data of a `str` whose code points are
//   all ASCII, which is its own UTF-8 form, without calling into the
//   interpreter; anything else gives nothing.
// - `argument_text(name, object)` gives the UTF-8 form of a `str` argument
//   (subclasses included, their stored text), viewed in place for as long
//   as the caller holds the argument; a non-`str` gives the type-mismatch
//   TypeError and a string holding a lone surrogate the interpreter's own
//   UnicodeEncodeError, both through `wrap_argument_error` for the
//   parameter `name`.
// - `wrap_argument_error(name, error)`: an error of exactly TypeError
//   becomes a new TypeError "argument 'NAME': " + its text, keeping its
//   cause (or none) with the context suppressed; an error of any other
//   class comes back unchanged.
// Complexity: O(1) for ASCII and for a string whose UTF-8 form the
// interpreter holds; otherwise O(length), once per string.
#pragma once

#include <Python.h>

#include <expected>
#include <optional>
#include <string_view>

#include "boundary/errors/py_err.h"

namespace corvane::module {

// Inline: the plain call views both arguments through it.
inline std::optional<std::string_view> ascii_text(PyObject* object) noexcept {
  if (!PyUnicode_Check(object) || !PyUnicode_IS_ASCII(object)) return std::nullopt;
  return std::string_view(static_cast<const char*>(PyUnicode_DATA(object)),
                          static_cast<std::size_t>(PyUnicode_GET_LENGTH(object)));
}

std::expected<std::string_view, boundary::PyErr> argument_text(std::string_view name,
                                                               PyObject* object);

boundary::PyErr wrap_argument_error(std::string_view name, boundary::PyErr error);

}  // namespace corvane::module
