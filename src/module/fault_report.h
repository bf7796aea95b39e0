// The fault report and the raw writes to the native standard error.
//
// Contract: `write_native_stderr` writes all of `text` to file descriptor 2
// with write(2), retrying short writes and interruptions, and gives up
// silently when the stream is closed or broken. `write_fault_report` writes,
// in one write where possible,
//     thread 'NAME' (TID) faulted at FILE:LINE:COLUMN:
//     MESSAGE
// where NAME is the thread's system name (or "<unnamed>"), TID its kernel
// thread id, and FILE the source path relative to the project root when it
// lies inside it. Both are safe to call from any thread, attached or not.
#pragma once

#include <source_location>
#include <string_view>

namespace corvane::module {

void write_native_stderr(std::string_view text) noexcept;

void write_fault_report(std::string_view message, std::source_location where) noexcept;

}  // namespace corvane::module
