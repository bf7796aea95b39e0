#include "module/argument_binding.h"

#include <charconv>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

#include "base/allocation.h"
#include "boundary/errors/object_text.h"

namespace corvane::module {

using boundary::fetch_pending;
using boundary::lazy_error_with_message;
using boundary::object_text;
using boundary::PyErr;
namespace {

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
  message.append(decimal(kParameterCount));
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
PyErr missing_positional(const std::array<std::string_view, kParameterCount>& names,
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
  for (std::size_t i = 0; i < kParameterCount; ++i) {
    if (lexical_score_params.positional_names[i] == name) return i;
  }
  return std::nullopt;
}

}  // namespace

// Positionals first (too many of them fails before any keyword is read),
// then the keywords in the order of `kwnames`, then the missing ones.
std::expected<ArgumentSlots, PyErr> bind_arguments(PyObject* const* args, Py_ssize_t nargs,
                                                   PyObject* kwnames) {
  ArgumentSlots slots{};
  const std::size_t positional = static_cast<std::size_t>(nargs);
  for (std::size_t i = 0; i < positional && i < kParameterCount; ++i) slots[i] = args[i];
  if (positional > kParameterCount) return std::unexpected(too_many_positional(nargs));

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

  if (positional < kParameterCount) {
    std::array<std::string_view, kParameterCount> missing{};
    std::size_t count = 0;
    for (std::size_t i = positional; i < kParameterCount; ++i) {
      if (slots[i] == nullptr) missing[count++] = lexical_score_params.positional_names[i];
    }
    if (count > 0) return std::unexpected(missing_positional(missing, count));
  }
  return slots;
}

}  // namespace corvane::module
