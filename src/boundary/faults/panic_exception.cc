#include "boundary/faults/panic_exception.h"

#include "base/native_stderr.h"
#include "boundary/errors/debug_text.h"
#include "boundary/errors/object_text.h"
#include "boundary/faults/fault_report.h"
#include "boundary/once_cell.h"

namespace corvane::boundary {

namespace {

constinit OnceObjectCell panic_exception_cell;

PyObject* create_panic_exception_type() {
  if (PyObject* type = PyErr_NewExceptionWithDoc(kPanicExceptionName, kPanicExceptionDoc,
                                                 PyExc_BaseException, nullptr)) {
    return type;
  }
  // Taken directly: comparing with the class that does not exist yet would
  // try to create it again.
  OwnedRef raised = OwnedRef::steal(PyErr_GetRaisedException());
  PyErr error = raised
                    ? from_exception_object(std::move(raised))
                    : lazy_error_with_message(
                          PyExc_SystemError, Text("attempted to fetch exception but none was set"));
  Text message("Failed to initialize new exception type.: ");
  message += debug_text(error);
  throw InternalFault(std::move(message));
}

}  // namespace

PyObject* panic_exception_type() {
  return panic_exception_cell.get_or_init(create_panic_exception_type);
}

PyErr panic_exception_from_fault(InternalFault&& fault) {
  return new_lazy(fault_maker(std::move(fault).take_message()));
}

void resume_fault_from_exception(OwnedRef exception) {
  Text message;
  if (OwnedRef text = OwnedRef::steal(PyObject_Str(exception.get()))) {
    message = lossy_text(text.get());
  } else {
    drop_pending_error();
    message = "Unwrapped panic from Python code";
  }
  // The banner is interface: callers match on it byte for byte, so it is
  // not to be tidied.
  write_native_stderr(
      "--- PyO3 is resuming a panic after fetching a PanicException from Python. ---\n"
      "Python stack trace below:\n");
  PyErr_SetRaisedException(exception.release());
  PyErr_PrintEx(0);
  throw InternalFault::resumed(std::move(message));
}

}  // namespace corvane::boundary
