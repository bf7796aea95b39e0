// The generic kernels (scoring/arch/generic/) instantiated for NEON, the
// vector unit of every AArch64 CPU.
//
// Contract: each function does exactly what its portable counterpart
// promises (`lower_ascii_run`, `lower_two_byte_run` and `lower_long_run` in
// the kernels, `prefiltered_search_bytewise` in scoring/search/prefilter.h,
// `short_input_hits` in scoring/short_input_score.h), with the extra
// preconditions noted; no run-time check is needed. The dispatchers in
// scoring/unicode/, scoring/search/ and scoring/ call them on AArch64;
// tests and fuzzers compare each with its portable counterpart.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "scoring/search/prefilter.h"
#include "scoring/short_input_score.h"

namespace corvane::scoring {

std::size_t lower_ascii_run_neon(const char* in, std::size_t size, char* out) noexcept;
std::size_t lower_two_byte_run_neon(std::string_view text, std::size_t from, char* out) noexcept;
std::size_t lower_long_run_neon(std::string_view text, std::size_t from, char* out) noexcept;
// Extra precondition: last + 1 >= 16 (the vector width).
PrefilterResult prefiltered_search_neon(const unsigned char* haystack, std::size_t last,
                                        const unsigned char* needle, std::size_t m,
                                        const RareBytes& rare) noexcept;
std::optional<ShortWordHits> short_input_hits_neon(std::string_view text,
                                                   std::string_view query) noexcept;

}  // namespace corvane::scoring
