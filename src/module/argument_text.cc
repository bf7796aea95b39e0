#include "module/argument_text.h"

#include <optional>
#include <utility>
#include <variant>

#include "base/allocation.h"
#include "boundary/errors/object_text.h"
#include "boundary/errors/type_mismatch.h"

namespace corvane::module {

using boundary::exception_cause;
using boundary::exception_type;
using boundary::exception_value;
using boundary::fetch_pending;
using boundary::into_exception_object;
using boundary::lazy_error_with_message;
using boundary::normalize;
using boundary::object_text;
using boundary::PyErr;
using boundary::type_mismatch_error;

// The text of a `str` argument in the form the string already has, viewed
// in place for the call (the caller holds the argument): ASCII and a kept
// UTF-8 form as UTF-8, anything else as its own code points, so that no
// UTF-8 copy is made and none is left on the argument. A string holding a
// surrogate has no UTF-8 form: the interpreter's own conversion is asked
// for one, so that its error is the one raised.
std::expected<scoring::ScoreText, PyErr> argument_text(std::string_view name, PyObject* object,
                                                       Surrogates surrogates) {
  scoring::ScoreText text;
  if (!str_text(object, text)) {
    return std::unexpected(wrap_argument_error(
        name, type_mismatch_error(object, reinterpret_cast<PyObject*>(&PyUnicode_Type))));
  }
  const auto* units = std::get_if<scoring::FixedWidthText>(&text);
  if (units == nullptr || surrogates == Surrogates::LeftToTheCore ||
      !scoring::holds_surrogate(*units)) {
    return text;
  }
  Py_ssize_t length = 0;
  const char* bytes = PyUnicode_AsUTF8AndSize(object, &length);
  if (bytes == nullptr) return std::unexpected(wrap_argument_error(name, fetch_pending()));
  return std::string_view(bytes, static_cast<std::size_t>(length));
}

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

}  // namespace corvane::module
