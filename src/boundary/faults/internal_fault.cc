#include "boundary/faults/internal_fault.h"

#include "boundary/faults/fault_report.h"

namespace corvane::boundary {

InternalFault::InternalFault(Text message, std::source_location where)
    : message_(std::move(message)) {
  write_fault_report(message_, where);
}

}  // namespace corvane::boundary
