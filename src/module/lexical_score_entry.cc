#include "lexical_score_entry.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <expected>
#include <optional>
#include <utility>

#include "guarded_entry.h"
#include "internal_fault.h"
#include "lexical_score.h"
#include "lexical_score_params.h"
#include "null_result.h"
#include "object_text.h"
#include "owned_ref.h"
#include "type_mismatch.h"

namespace corvane::module {
namespace {

constexpr std::size_t parameter_count = lexical_score_params.positional_names.size();

// One borrowed reference per parameter, in parameter order; null while empty.
using ArgumentSlots = std::array<PyObject*, parameter_count>;

// "lexical_score()" followed by `rest`.
Text function_message(std::string_view rest) {
  Text message;
  message.reserve(lexical_score_params.function_name.size() + 2 + rest.size());
  message.append(lexical_score_params.function_name);
  message.append("()");
  message.append(rest);
  return message;
}

Text decimal(std::size_t value) {
  std::array<char, 24> digits;
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  return Text(digits.data(), end);
}

PyErr type_error(Text message) {
  return lazy_error_with_message(PyExc_TypeError, std::move(message));
}

PyErr too_many_positional(Py_ssize_t nargs) {
  Text message = function_message(" takes ");
  message.append(decimal(parameter_count));
  message.append(" positional arguments but ");
  message.append(decimal(static_cast<std::size_t>(nargs)));
  message.append(" were given");
  return type_error(std::move(message));
}

PyErr unexpected_keyword(PyObject* name) {
  Text message = function_message(" got an unexpected keyword argument '");
  message.append(object_text(name));
  message.append("'");
  return type_error(std::move(message));
}

PyErr multiple_values(std::string_view parameter) {
  Text message = function_message(" got multiple values for argument '");
  message.append(parameter);
  message.append("'");
  return type_error(std::move(message));
}

// Lists the names in the interpreter's style: 'a'; 'a' and 'b';
// 'a', 'b', and 'c'.
PyErr missing_positional(const std::array<std::string_view, parameter_count>& names,
                         std::size_t count) {
  Text message = function_message(" missing ");
  message.append(decimal(count));
  message.append(count == 1 ? " required positional argument: "
                            : " required positional arguments: ");
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) message.append(count > 2 ? ", " : " ");
    if (i > 0 && i + 1 == count) message.append("and ");
    message.append("'");
    message.append(names[i]);
    message.append("'");
  }
  return type_error(std::move(message));
}

// The slot index of a keyword named by the UTF-8 bytes `name`, or none.
// Matching is by length and bytes: no case folding, no interned look-up.
// Complexity: O(parameters * len(name)).
std::optional<std::size_t> keyword_slot(std::string_view name) {
  for (std::size_t i = 0; i < parameter_count; ++i) {
    if (lexical_score_params.positional_names[i] == name) return i;
  }
  return std::nullopt;
}

// Positionals first (too many of them fails before any keyword is read),
// then the keywords in the order of `kwnames`, then the missing ones.
std::expected<ArgumentSlots, PyErr> bind_arguments(PyObject* const* args, Py_ssize_t nargs,
                                                   PyObject* kwnames) {
  ArgumentSlots slots{};
  const std::size_t positional = static_cast<std::size_t>(nargs);
  for (std::size_t i = 0; i < positional && i < parameter_count; ++i) slots[i] = args[i];
  if (positional > parameter_count) return std::unexpected(too_many_positional(nargs));

  const Py_ssize_t keywords = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
  for (Py_ssize_t k = 0; k < keywords; ++k) {
    PyObject* name = PyTuple_GET_ITEM(kwnames, k);
    Py_ssize_t length = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(name, &length);
    if (bytes == nullptr) {
      // A name with a lone surrogate has no UTF-8 form: it cannot be ours.
      (void)fetch_pending();
      return std::unexpected(unexpected_keyword(name));
    }
    const auto slot = keyword_slot(std::string_view(bytes, static_cast<std::size_t>(length)));
    if (!slot) return std::unexpected(unexpected_keyword(name));
    if (slots[*slot] != nullptr) {
      return std::unexpected(multiple_values(lexical_score_params.positional_names[*slot]));
    }
    slots[*slot] = args[nargs + k];
  }

  if (positional < parameter_count) {
    std::array<std::string_view, parameter_count> missing{};
    std::size_t count = 0;
    for (std::size_t i = positional; i < parameter_count; ++i) {
      if (slots[i] == nullptr) missing[count++] = lexical_score_params.positional_names[i];
    }
    if (count > 0) return std::unexpected(missing_positional(missing, count));
  }
  return slots;
}

// The UTF-8 form of a `str` whose code points are all ASCII is its own
// data: no call into the interpreter is needed to view it.
std::optional<std::string_view> ascii_text(PyObject* object) noexcept {
  if (!PyUnicode_Check(object) || !PyUnicode_IS_ASCII(object)) return std::nullopt;
  return std::string_view(static_cast<const char*>(PyUnicode_DATA(object)),
                          static_cast<std::size_t>(PyUnicode_GET_LENGTH(object)));
}

// The UTF-8 form of a `str` argument, viewed in place. The interpreter keeps
// a string's UTF-8 form inside the string object once made, never changes it
// and frees it only with the object; the caller holds the argument for the
// whole call, so the view outlives every use of it and no copy is needed.
std::expected<std::string_view, PyErr> argument_text(std::string_view name, PyObject* object) {
  if (!PyUnicode_Check(object)) {
    return std::unexpected(wrap_argument_error(
        name, type_mismatch_error(object, reinterpret_cast<PyObject*>(&PyUnicode_Type))));
  }
  if (const auto ascii = ascii_text(object)) return *ascii;
  Py_ssize_t length = 0;
  const char* bytes = PyUnicode_AsUTF8AndSize(object, &length);
  if (bytes == nullptr) return std::unexpected(wrap_argument_error(name, fetch_pending()));
  return std::string_view(bytes, static_cast<std::size_t>(length));
}

// Scores the common call, two positional ASCII `str`s and a query with
// words, into `score`, or says false; anything else, failures included,
// takes the general path below, which checks every step in order. Nothing
// here can fail, so nothing is left to undo when it gives up. (An
// out-parameter rather than an optional: the float stays in a register.)
bool plain_call_score(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      float& score) noexcept {
  if (nargs != static_cast<Py_ssize_t>(parameter_count) || kwnames != nullptr) return false;
  const auto text = ascii_text(args[0]);
  if (!text) return false;
  const auto query = ascii_text(args[1]);
  if (!query) return false;
  const auto scored = scoring::compute_lexical_score(*text, *query);
  if (!scored) return false;
  score = *scored;
  return true;
}

std::expected<PyObject*, PyErr> score_call(PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
  auto slots = bind_arguments(args, nargs, kwnames);
  if (!slots) return std::unexpected(std::move(slots.error()));

  const auto& names = lexical_score_params.positional_names;
  auto text = argument_text(names[0], (*slots)[0]);
  if (!text) return std::unexpected(std::move(text.error()));
  auto query = argument_text(names[1], (*slots)[1]);
  if (!query) return std::unexpected(std::move(query.error()));

  const auto score = scoring::compute_lexical_score(*text, *query);
  if (!score) {
    return std::unexpected(lazy_error_with_message(PyExc_RuntimeError,
                                                   scoring::display(score.error())));
  }
  // float to double is exact: Python sees the single-precision quotient.
  return check_new(PyFloat_FromDouble(static_cast<double>(*score))).release();
}

}  // namespace

PyErr wrap_argument_error(std::string_view name, PyErr error) {
  if (exception_type(error).get() != PyExc_TypeError) return error;

  Text message("argument '");
  message.append(name);
  message.append("': ");
  message.append(object_text(exception_value(error)));
  PyErr wrapped = lazy_error_with_message(PyExc_TypeError, std::move(message));

  std::optional<PyErr> cause = exception_cause(error);
  normalize(wrapped);
  // Steals the cause and marks the context as suppressed, even for null.
  PyException_SetCause(exception_value(wrapped),
                       cause ? into_exception_object(std::move(*cause)).release() : nullptr);
  return wrapped;
}

PyObject* lexical_score_entry(PyObject* /*self*/, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) noexcept {
  // The common call runs without the guard's bookkeeping, which costs as
  // much as scoring a short text; whatever goes wrong in it is handed to the
  // guard, which deals with it as it would have inside.
  try {
    float score;
    if (plain_call_score(args, nargs, kwnames, score)) {
      if (PyObject* result = PyFloat_FromDouble(static_cast<double>(score))) return result;
      return guarded_entry<PyObject*>(
          []() -> std::expected<PyObject*, PyErr> { return check_new(nullptr).release(); },
          nullptr);
    }
  } catch (...) {
    return guarded_entry<PyObject*>([]() -> std::expected<PyObject*, PyErr> { throw; }, nullptr);
  }
  return guarded_entry<PyObject*>([&] { return score_call(args, nargs, kwnames); }, nullptr);
}

}  // namespace corvane::module
