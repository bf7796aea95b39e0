#include "mismatch_report.h"

#include <cstdio>
#include <cstdlib>
#include <span>

#include "fuzz_input.h"

namespace corvane::fuzz {

void report_mismatch(std::string_view what, std::initializer_list<Shown> values) {
  std::fprintf(stderr, "MISMATCH: %.*s\n", static_cast<int>(what.size()), what.data());
  for (const Shown& value : values) {
    const CodePoints code_points = decode_lenient(
        std::span(reinterpret_cast<const std::uint8_t*>(value.utf8.data()), value.utf8.size()));
    std::fprintf(stderr,
                 "  %.*s (%zu bytes, %zu code points):", static_cast<int>(value.label.size()),
                 value.label.data(), value.utf8.size(), code_points.size());
    std::size_t shown = 0;
    for (const char32_t cp : code_points) {
      if (shown++ == 256) {
        std::fputs(" ...", stderr);
        break;
      }
      std::fprintf(stderr, " U+%04X", static_cast<unsigned>(cp));
    }
    std::fputc('\n', stderr);
  }
  std::fflush(stderr);
  std::abort();
}

}  // namespace corvane::fuzz
