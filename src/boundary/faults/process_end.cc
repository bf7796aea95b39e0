#include "boundary/faults/process_end.h"

#include <cstdlib>

#include "base/native_stderr.h"
#include "boundary/faults/fault_report.h"

namespace corvane::boundary {

void abort_with_fault_report(std::string_view message, std::source_location where) noexcept {
  write_fault_report(message, where);
  std::abort();
}

void abort_with_fatal_error(std::string_view line) noexcept {
  write_native_stderr(line);
  if (!line.ends_with('\n')) write_native_stderr("\n");
  std::abort();
}

}  // namespace corvane::boundary
