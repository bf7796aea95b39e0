// The vector loops of the lowercase conversion that need more than the
// build's baseline instruction set, picked at run time.
//
// Contract: `pick_lower_kernels()` gives, for the CPU it runs on, the
// fastest `lower_ascii_run` (ascii_lower_kernel.h) and `lower_two_byte_run`
// (two_byte_lower_kernel.h) beyond the baseline, each with the input size
// below which the caller should not bother calling it, or a null pointer
// where the CPU has nothing better (the caller then uses the baseline loop,
// or converts one code point at a time). The choice depends only on the
// CPU's features, so every call gives the same.
#pragma once

#include <cstddef>
#include <string_view>

namespace corvane::scoring {

using LowerRun = std::size_t (*)(const char* in, std::size_t size, char* out) noexcept;
using TwoByteLowerRun = std::size_t (*)(std::string_view text, std::size_t from,
                                        char* out) noexcept;

struct LowerKernels {
  LowerRun ascii_run;
  std::size_t ascii_min_size;
  TwoByteLowerRun two_byte_run;
  std::size_t two_byte_min_size;
};

LowerKernels pick_lower_kernels() noexcept;

#if defined(__x86_64__)
std::size_t lower_ascii_run_avx2(const char* in, std::size_t size, char* out) noexcept;
std::size_t lower_two_byte_run_avx512(std::string_view text, std::size_t from,
                                      char* out) noexcept;
std::size_t lower_two_byte_run_avx2(std::string_view text, std::size_t from, char* out) noexcept;
std::size_t lower_two_byte_run_ssse3(std::string_view text, std::size_t from, char* out) noexcept;
#endif

}  // namespace corvane::scoring
