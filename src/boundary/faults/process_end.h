// The two ways in which the module ends the process itself.
//
// Contract: both write to the native standard error (file descriptor 2)
// with write(2) and then end the process at once with std::abort()
// (SIGABRT): no exception is thrown, nothing is unwound, no exit handler and
// no interpreter finalisation runs. `abort_with_fault_report` writes a fault
// report (thread, place, message on its own line) for a fault that cannot
// become an exception; `abort_with_fatal_error` writes `line` (a line feed
// is added when it has none) for any other reason to stop.
#pragma once

#include <source_location>
#include <string_view>

namespace corvane::boundary {

[[noreturn]] void abort_with_fault_report(
    std::string_view message,
    std::source_location where = std::source_location::current()) noexcept;

[[noreturn]] void abort_with_fatal_error(std::string_view line) noexcept;

}  // namespace corvane::boundary
