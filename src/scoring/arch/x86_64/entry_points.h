// The generic kernels (scoring/arch/generic/) instantiated for each x86-64
// instruction set, one translation unit per set.
//
// Contract: each function does exactly what its portable counterpart
// promises (`lower_ascii_run`, `lower_two_byte_run` and `lower_long_run` in the kernels,
// `prefiltered_search_bytewise` in scoring/search/prefilter.h,
// `short_input_hits` in scoring/short_input_score.h), with the extra
// preconditions noted. A function for a set beyond SSE2 may run only where
// `cpu_features()` has that set. The dispatchers in scoring/unicode/,
// scoring/search/ and scoring/ choose among them; tests and fuzzers compare
// each with its portable counterpart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "scoring/search/prefilter.h"
#include "scoring/short_input_score.h"

namespace corvane::scoring {

// SSE2 (every x86-64 CPU).
// Extra precondition of the prefiltered searches: last + 1 >= the vector
// width (16 for SSE2, 32 for AVX2, 64 for AVX-512BW).
PrefilterResult prefiltered_search_sse2(const unsigned char* haystack, std::size_t last,
                                        const unsigned char* needle, std::size_t m,
                                        const RareBytes& rare) noexcept;
std::optional<ShortWordHits> short_input_hits_sse2(std::string_view text,
                                                   std::string_view query) noexcept;

// SSSE3.
std::size_t lower_two_byte_run_ssse3(std::string_view text, std::size_t from, char* out) noexcept;
std::size_t lower_long_run_ssse3(std::string_view text, std::size_t from, char* out) noexcept;
// The UTF-8 form of two-byte units (no surrogates) in blocks of eight while
// a block remains; sets `consumed` to the units converted (count rounded
// down to eight) and returns the bytes written. `out` needs room for
// 3 * count + 16 bytes (`utf8_size_bound`). Scalar code takes the rest.
std::size_t encode_utf8_two_byte_units_ssse3(const std::uint16_t* units, std::size_t count,
                                             char* out, std::size_t& consumed) noexcept;

// The full lowercase form of Latin-1 units as UTF-8 (`lower_latin1_into` in
// scoring/unicode/fixed_width_text.h) in blocks of sixteen while a block
// remains; sets `consumed` to the units converted and returns the bytes
// written. `out` needs room for 2 * count bytes.
std::size_t lower_latin1_units_ssse3(const std::uint8_t* units, std::size_t count, char* out,
                                     std::size_t& consumed) noexcept;

// AVX2 with BMI1 and BMI2.
// `holds_surrogate` (scoring/unicode/fixed_width_text.h) for two- and
// four-byte units.
bool holds_surrogate_avx2(const std::uint16_t* units, std::size_t length) noexcept;
bool holds_surrogate_avx2(const std::uint32_t* units, std::size_t length) noexcept;
std::size_t lower_ascii_run_avx2(const char* in, std::size_t size, char* out) noexcept;
std::size_t lower_two_byte_run_avx2(std::string_view text, std::size_t from, char* out) noexcept;
std::size_t lower_long_run_avx2(std::string_view text, std::size_t from, char* out) noexcept;
PrefilterResult prefiltered_search_avx2(const unsigned char* haystack, std::size_t last,
                                        const unsigned char* needle, std::size_t m,
                                        const RareBytes& rare) noexcept;
std::optional<ShortWordHits> short_input_hits_avx2(std::string_view text,
                                                   std::string_view query) noexcept;

// AVX-512 F and BW.
std::size_t lower_long_run_avx512bw(std::string_view text, std::size_t from, char* out) noexcept;
PrefilterResult prefiltered_search_avx512bw(const unsigned char* haystack, std::size_t last,
                                            const unsigned char* needle, std::size_t m,
                                            const RareBytes& rare) noexcept;

// AVX-512 F, BW and VBMI.
std::size_t lower_two_byte_run_avx512vbmi(std::string_view text, std::size_t from,
                                          char* out) noexcept;

// AVX-512 F, BW, VBMI and VBMI2, with BMI1 and BMI2.
// The UTF-8 form of two- or four-byte units (no surrogates) in blocks of
// sixteen while a block remains, as `encode_utf8_two_byte_units_ssse3`
// does; `out` needs room for `utf8_size_bound(width, count)` bytes, which
// covers the 64 bytes each block stores.
std::size_t encode_utf8_units_avx512vbmi2(const std::uint16_t* units, std::size_t count, char* out,
                                          std::size_t& consumed) noexcept;
std::size_t encode_utf8_units_avx512vbmi2(const std::uint32_t* units, std::size_t count, char* out,
                                          std::size_t& consumed) noexcept;
// `lower_latin1_units_ssse3` in blocks of thirty-two.
std::size_t lower_latin1_units_avx512vbmi2(const std::uint8_t* units, std::size_t count, char* out,
                                           std::size_t& consumed) noexcept;

}  // namespace corvane::scoring
