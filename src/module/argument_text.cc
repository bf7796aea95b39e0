#include "module/argument_text.h"

#include <optional>
#include <utility>

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
