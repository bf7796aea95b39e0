#include "boundary/faults/fault_report.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <charconv>

#include "base/allocation.h"
#include "base/native_stderr.h"

namespace corvane::boundary {

namespace {

#ifdef CORVANE_SOURCE_ROOT
constexpr std::string_view kSourceRoot = CORVANE_SOURCE_ROOT;
#else
constexpr std::string_view kSourceRoot;
#endif

std::string_view relative_to_root(std::string_view file) noexcept {
  if (!kSourceRoot.empty() && file.starts_with(kSourceRoot)) file.remove_prefix(kSourceRoot.size());
  return file;
}

void append_number(Text& out, unsigned long long value) {
  char digits[24];
  auto [end, error] = std::to_chars(digits, digits + sizeof(digits), value);
  (void)error;
  out.append(digits, end);
}

}  // namespace

void write_fault_report(std::string_view message, std::source_location where) noexcept {
  char name[64] = {};
  if (pthread_getname_np(pthread_self(), name, sizeof(name)) != 0 || name[0] == '\0') {
    constexpr std::string_view unnamed = "<unnamed>";
    unnamed.copy(name, unnamed.size());
  }
  // One buffer, one write: reports of faults on different threads do not
  // interleave.
  Text report;
  report.reserve(message.size() + 160);
  report += "thread '";
  report += name;
  report += "' (";
  append_number(report, static_cast<unsigned long long>(::syscall(SYS_gettid)));
  report += ") faulted at ";
  report += relative_to_root(where.file_name());
  report += ':';
  append_number(report, where.line());
  report += ':';
  append_number(report, where.column());
  report += ":\n";
  report += message;
  report += '\n';
  write_native_stderr(report);
}

}  // namespace corvane::boundary
