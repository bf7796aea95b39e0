// Running code in a function from which nothing may unwind, such as the
// module's initialisation export.
//
// Contract: `run_without_unwinding(f)` returns what `f()` returns. An
// `InternalFault` leaving `f` ends the process after a fault report
// "panic in a function that cannot unwind"; any other exception ends it
// after a fatal-error line. No exception leaves it.
#pragma once

#include <source_location>
#include <utility>

#include "boundary/faults/internal_fault.h"
#include "boundary/faults/process_end.h"

namespace corvane::boundary {

namespace no_unwind_detail {
[[noreturn]] void abort_on_foreign_exception() noexcept;
}  // namespace no_unwind_detail

template <class F>
auto run_without_unwinding(F&& f,
                           std::source_location where = std::source_location::current()) noexcept
    -> decltype(std::forward<F>(f)()) {
  try {
    return std::forward<F>(f)();
  } catch (InternalFault&) {
    abort_with_fault_report("panic in a function that cannot unwind", where);
  } catch (...) {
    no_unwind_detail::abort_on_foreign_exception();
  }
}

}  // namespace corvane::boundary
