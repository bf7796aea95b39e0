// What the module does when an interpreter call that must give a new object
// gives null.
//
// Contract: `null_result_fault` takes the pending error, if any (a pending
// `PanicException` resumes instead, as `take_pending` does), hands it to
// the interpreter's unraisable-error hook with no object, and throws
// `InternalFault` "PyObject pointer is null" located at the caller.
// `check_new` wraps the new reference of such a call: it gives
// `OwnedRef::steal(result)`, or calls `null_result_fault` when it is null.
// Both need the thread attached.
#pragma once

#include <Python.h>

#include <source_location>

#include "boundary/owned_ref.h"

namespace corvane::boundary {

[[noreturn]] void null_result_fault(std::source_location where = std::source_location::current());

inline OwnedRef check_new(PyObject* result,
                          std::source_location where = std::source_location::current()) {
  if (result == nullptr) null_result_fault(where);
  return OwnedRef::steal(result);
}

}  // namespace corvane::boundary
