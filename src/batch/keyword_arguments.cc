#include "batch/keyword_arguments.h"

#include <algorithm>
#include <string>

#include "base/allocation.h"

namespace corvane::batch {

using boundary::lazy_error_with_message;
using boundary::PyErr;

namespace {

PyErr type_error(std::string_view function, std::string_view what) {
  Text message(function);
  message.append("() ");
  message.append(what);
  return lazy_error_with_message(PyExc_TypeError, std::move(message));
}

}  // namespace

std::expected<void, PyErr> bind(std::string_view function,
                                std::span<const std::string_view> positional,
                                std::span<const std::string_view> keyword, PyObject* const* args,
                                Py_ssize_t nargs, PyObject* kwnames, std::span<PyObject*> out) {
  std::fill(out.begin(), out.end(), nullptr);
  const auto given = static_cast<std::size_t>(nargs);
  if (given > positional.size()) {
    return std::unexpected(type_error(function, "takes " + std::to_string(positional.size()) +
                                                    " positional argument" +
                                                    (positional.size() == 1 ? "" : "s") + " but " +
                                                    std::to_string(given) + " were given"));
  }
  for (std::size_t i = 0; i < given; ++i) out[i] = args[i];
  const Py_ssize_t named = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
  for (Py_ssize_t k = 0; k < named; ++k) {
    PyObject* name = PyTuple_GET_ITEM(kwnames, k);
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(name, &size);
    if (utf8 == nullptr) {
      PyErr_Clear();
      return std::unexpected(type_error(function, "got an unexpected keyword argument"));
    }
    const std::string_view text(utf8, static_cast<std::size_t>(size));
    std::size_t slot = out.size();
    for (std::size_t i = 0; i < positional.size(); ++i) {
      if (positional[i] == text) slot = i;
    }
    for (std::size_t i = 0; i < keyword.size(); ++i) {
      if (keyword[i] == text) slot = positional.size() + i;
    }
    if (slot == out.size()) {
      return std::unexpected(
          type_error(function, "got an unexpected keyword argument '" + std::string(text) + "'"));
    }
    if (out[slot] != nullptr) {
      return std::unexpected(
          type_error(function, "got multiple values for argument '" + std::string(text) + "'"));
    }
    out[slot] = args[nargs + k];
  }
  for (std::size_t i = 0; i < positional.size(); ++i) {
    if (out[i] == nullptr) {
      return std::unexpected(
          type_error(function, "missing required argument '" + std::string(positional[i]) + "'"));
    }
  }
  return {};
}

}  // namespace corvane::batch
