// The wrapper that every call from the interpreter into the module runs
// inside.
//
// Contract: `guarded_entry(body, failure)` is called with the thread
// attached and neither attaches nor detaches itself. `body()` returns
// `std::expected<R, PyErr>`, R being `PyObject*` (a new reference handed to
// the interpreter) or `int`.
// - A result is returned as it is.
// - A `PyErr` is raised with `set_pending` and `failure` is returned.
// - An `InternalFault` leaving the body (its report already written) becomes
//   a pending `PanicException` with the fault's message; `failure` is
//   returned.
// - Any other exception leaving the body writes a fatal-error line to the
//   native standard error and aborts the process.
// - A fault thrown while the guard itself raises (the boundary trap) writes
//   a fault report "uncaught panic at ffi boundary" and aborts the process.
// No exception ever leaves it.
#pragma once

#include <expected>
#include <optional>
#include <source_location>
#include <type_traits>
#include <utility>

#include "boundary/errors/py_err.h"
#include "boundary/faults/internal_fault.h"
#include "boundary/faults/panic_exception.h"
#include "boundary/faults/process_end.h"

namespace corvane::boundary {

namespace guarded_entry_detail {
// Aborts for the exception being handled, which is not an InternalFault.
[[noreturn]] void abort_on_foreign_exception() noexcept;
// Raises `err`; a fault while doing so springs the boundary trap.
void raise_or_abort(PyErr&& err, std::source_location where) noexcept;
}  // namespace guarded_entry_detail

template <class R, class Body>
R guarded_entry(Body&& body, R failure,
                std::source_location where = std::source_location::current()) noexcept {
  static_assert(std::is_same_v<std::invoke_result_t<Body&&>, std::expected<R, PyErr>>,
                "the body of a guarded entry returns std::expected<R, PyErr>");
  std::optional<PyErr> error;
  try {
    try {
      std::expected<R, PyErr> outcome = std::forward<Body>(body)();
      if (outcome.has_value()) return *std::move(outcome);
      error.emplace(std::move(outcome).error());
    } catch (InternalFault& fault) {
      error.emplace(panic_exception_from_fault(std::move(fault)));
    }
  } catch (...) {
    guarded_entry_detail::abort_on_foreign_exception();
  }
  guarded_entry_detail::raise_or_abort(std::move(*error), where);
  return failure;
}

}  // namespace corvane::boundary
