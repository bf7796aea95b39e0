#include "boundary/faults/null_result.h"

#include "boundary/errors/py_err.h"
#include "boundary/faults/internal_fault.h"

namespace corvane::boundary {

void null_result_fault(std::source_location where) {
  if (std::optional<PyErr> pending = take_pending())
    report_unraisable(std::move(*pending), nullptr);
  throw InternalFault(Text("PyObject pointer is null"), where);
}

}  // namespace corvane::boundary
