#include "module/argument_text.h"

#include <atomic>
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

namespace {

// The UTF-8 form that the interpreter already keeps on a non-ASCII string,
// or null. It is made at most once and then never changed or freed before
// the string; the acquire pairs with the store that published it.
const char* kept_utf8(PyObject* object, Py_ssize_t& length) noexcept {
  auto* compact = reinterpret_cast<PyCompactUnicodeObject*>(object);
  const char* utf8 = std::atomic_ref<char*>(compact->utf8).load(std::memory_order_acquire);
  if (utf8 != nullptr) length = compact->utf8_length;
  return utf8;
}

}  // namespace

// The text of a `str` argument in the form the string already has, viewed
// in place for the call (the caller holds the argument): ASCII and a kept
// UTF-8 form as UTF-8, anything else as its own code points, so that no
// UTF-8 copy is made and none is left on the argument. A string holding a
// surrogate has no UTF-8 form: the interpreter's own conversion is asked
// for one, so that its error is the one raised.
std::expected<scoring::ScoreText, PyErr> argument_text(std::string_view name, PyObject* object,
                                                       Surrogates surrogates) {
  if (!PyUnicode_Check(object)) {
    return std::unexpected(wrap_argument_error(
        name, type_mismatch_error(object, reinterpret_cast<PyObject*>(&PyUnicode_Type))));
  }
  if (const auto ascii = ascii_text(object)) return *ascii;
  Py_ssize_t length = 0;
  if (const char* utf8 = kept_utf8(object, length)) {
    return std::string_view(utf8, static_cast<std::size_t>(length));
  }
  const scoring::FixedWidthText units{PyUnicode_DATA(object),
                                      static_cast<std::size_t>(PyUnicode_GET_LENGTH(object)),
                                      static_cast<std::size_t>(PyUnicode_KIND(object))};
  if (surrogates == Surrogates::LeftToTheCore || !scoring::holds_surrogate(units)) return units;
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
