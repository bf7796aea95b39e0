// The `PanicException` class and the conversions between it and faults.
//
// Contract (all need the thread attached, except
// `panic_exception_from_fault`):
// - `panic_exception_type()`: the class "pyo3_runtime.PanicException"
//   (base BaseException only, no dictionary, the fixed docstring), made on
//   first need through a process-wide once-only cell and kept for the life
//   of the process; borrowed. Once made, reading it takes one atomic load.
//   A failed creation throws `InternalFault` "Failed to initialize new
//   exception type.: " + the `debug_text` of the interpreter's error, and
//   the next need tries again.
// - `panic_exception_from_fault(fault)`: a lazy `PyErr` with the fault
//   maker (PanicException, args == (message,)); touches no interpreter.
// - `resume_fault_from_exception(instance)`: for a `PanicException`
//   instance found pending. Writes "--- PyO3 is resuming a panic after
//   fetching a PanicException from Python. ---" and "Python stack trace
//   below:" to the native standard error, prints the instance through
//   PyErr_PrintEx(0), and throws `InternalFault::resumed` with the
//   instance's text ("Unwrapped panic from Python code" when its str()
//   fails). Does not return.
#pragma once

#include <Python.h>

#include <string_view>

#include "boundary/errors/py_err.h"
#include "boundary/faults/internal_fault.h"
#include "boundary/owned_ref.h"

namespace corvane::boundary {

// The class's dotted name and docstring are interface: callers match on
// them byte for byte, so they are not to be tidied. Zero-terminated arrays,
// as the interpreter takes them.
inline constexpr char kPanicExceptionName[] = "pyo3_runtime.PanicException";
inline constexpr char kPanicExceptionDoc[] =
    "\n"
    "The exception raised when Rust code called from Python panics.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";
static_assert(std::string_view(kPanicExceptionDoc).size() == 235);

PyObject* panic_exception_type();
PyErr panic_exception_from_fault(InternalFault&& fault);
[[noreturn]] void resume_fault_from_exception(OwnedRef exception);

}  // namespace corvane::boundary
