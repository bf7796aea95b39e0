#include "boundary/once_cell.h"

namespace corvane::boundary::once_cell_detail {

const void* current_thread_marker() noexcept {
  static thread_local const char marker = 0;
  return &marker;
}

void fault_on_self_wait(std::source_location where) {
  throw InternalFault(Text("once-only cell needed again while this thread initialises it"), where);
}

}  // namespace corvane::boundary::once_cell_detail
