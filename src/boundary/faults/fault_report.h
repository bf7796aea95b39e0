// The fault report on the native standard error.
//
// Contract: `write_fault_report` writes, with `write_native_stderr`
// (base/native_stderr.h) and in one write where possible,
//     thread 'NAME' (TID) faulted at FILE:LINE:COLUMN:
//     MESSAGE
// where NAME is the thread's system name (or "<unnamed>"), TID its kernel
// thread id, and FILE the source path relative to the project root when it
// lies inside it. Safe to call from any thread, attached or not.
#pragma once

#include <source_location>
#include <string_view>

namespace corvane::boundary {

void write_fault_report(std::string_view message, std::source_location where) noexcept;

}  // namespace corvane::boundary
