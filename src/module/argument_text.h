// The text of a `lexical_score` argument, as the scoring core reads it.
//
// Contract (thread attached):
// - `ascii_text(object)` views the data of a `str` whose code points are
//   all ASCII, which is its own UTF-8 form, without calling into the
//   interpreter; anything else gives nothing.
// - `str_text(object, text)` puts in `text` the text of a `str` as
//   `argument_text` gives it with `Surrogates::LeftToTheCore`, and gives
//   false (leaving `text` alone) for anything else.
// - `argument_text(name, object)` gives the text of a `str` argument
//   (subclasses included, their stored text) for the scoring core, viewed
//   in place for as long as the caller holds the argument: as UTF-8 where
//   the string is ASCII or the interpreter keeps its UTF-8 form, else as the
//   string's own 1-, 2- or 4-byte code points; it makes no UTF-8 form and
//   leaves none on the argument. A non-`str` gives the type-mismatch
//   TypeError and a string holding a lone surrogate the interpreter's own
//   UnicodeEncodeError, both through `wrap_argument_error` for the
//   parameter `name`. With `Surrogates::LeftToTheCore`, 2- and 4-byte code
//   points are given without that test: the scoring core makes it as it
//   reads them (`ScoreError::Kind::SurrogateInText`), and the caller then
//   asks again with `Surrogates::Refused` for the error.
// - `wrap_argument_error(name, error)`: an error of exactly TypeError
//   becomes a new TypeError "argument 'NAME': " + its text, keeping its
//   cause (or none) with the context suppressed; an error of any other
//   class comes back unchanged.
// Complexity: O(1) for ASCII, for a kept UTF-8 form, for 1-byte strings and
// for the rest with `Surrogates::LeftToTheCore`; O(length) for the
// surrogate test of wider ones.
#pragma once

#include <Python.h>

#include <atomic>
#include <expected>
#include <optional>
#include <string_view>

#include "boundary/errors/py_err.h"
#include "scoring/lexical_score.h"

namespace corvane::module {

// Inline: the plain call views both arguments through it.
inline std::optional<std::string_view> ascii_text(PyObject* object) noexcept {
  if (!PyUnicode_Check(object) || !PyUnicode_IS_ASCII(object)) return std::nullopt;
  return std::string_view(static_cast<const char*>(PyUnicode_DATA(object)),
                          static_cast<std::size_t>(PyUnicode_GET_LENGTH(object)));
}

// Inline: a batch reads every text through it, into the text's place in
// a round (written in place: a copy through an optional would cost a
// stalled load a text). The UTF-8 form the interpreter may keep is read
// with acquire, as another thread may be making it.
inline bool str_text(PyObject* object, scoring::ScoreText& text) noexcept {
  if (!PyUnicode_Check(object)) return false;
  // ascii_text's test, not a call to it: through its optional the read
  // costs a quarter more.
  if (PyUnicode_IS_ASCII(object)) {
    text = scoring::ScoreText(std::in_place_type<std::string_view>,
                              static_cast<const char*>(PyUnicode_DATA(object)),
                              static_cast<std::size_t>(PyUnicode_GET_LENGTH(object)));
    return true;
  }
  auto* compact = reinterpret_cast<PyCompactUnicodeObject*>(object);
  if (const char* utf8 = std::atomic_ref<char*>(compact->utf8).load(std::memory_order_acquire)) {
    text = scoring::ScoreText(std::in_place_type<std::string_view>, utf8,
                              static_cast<std::size_t>(compact->utf8_length));
    return true;
  }
  text = scoring::ScoreText(std::in_place_type<scoring::FixedWidthText>, PyUnicode_DATA(object),
                            static_cast<std::size_t>(PyUnicode_GET_LENGTH(object)),
                            static_cast<std::size_t>(PyUnicode_KIND(object)));
  return true;
}

enum class Surrogates { Refused, LeftToTheCore };

std::expected<scoring::ScoreText, boundary::PyErr> argument_text(
    std::string_view name, PyObject* object, Surrogates surrogates = Surrogates::Refused);

boundary::PyErr wrap_argument_error(std::string_view name, boundary::PyErr error);

}  // namespace corvane::module
