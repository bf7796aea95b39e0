// The vector loops of the lowercase conversion beyond the baseline, chosen
// for the running CPU.
//
// Contract: `lower_runs()` gives, from `cpu_features()`, the fastest
// `lower_ascii_run`, `lower_two_byte_run` and `lower_long_run`
// (scoring/arch/generic/) beyond
// the build's baseline, each with the input size below which a caller
// should not bother calling it, or a null pointer where the CPU has nothing
// better (the caller then uses the baseline loop, or converts one code
// point at a time). The choice depends only on the CPU, so every call
// gives the same record.
// Complexity: O(1).
#pragma once

#include <cstddef>
#include <string_view>

namespace corvane::scoring {

using LowerAsciiRun = std::size_t (*)(const char* in, std::size_t size, char* out) noexcept;
// Both the two-byte and the long runs.
using LowerSequenceRun = std::size_t (*)(std::string_view text, std::size_t from,
                                         char* out) noexcept;

struct LowerRuns {
  LowerAsciiRun ascii_run;
  std::size_t ascii_min_size;
  LowerSequenceRun two_byte_run;
  std::size_t two_byte_min_size;
  LowerSequenceRun long_run;
  std::size_t long_min_size;
};

const LowerRuns& lower_runs() noexcept;

}  // namespace corvane::scoring
