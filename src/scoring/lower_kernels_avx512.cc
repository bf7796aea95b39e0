// The two-byte lowercase loop on 64-byte AVX-512BW vectors, compiled for
// AVX512BW and AVX512VBMI whatever the build's baseline; it is called only
// after a run-time check that the CPU (and the operating system) has both.
#if defined(__x86_64__)

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "case_tables.h"
#include "final_sigma.h"
#include "lower_kernels.h"
#include "sigma_context.h"
#include "two_byte_case_shift.h"
#include "utf8.h"

// Everything defined from here on, the shared loop included, is compiled
// for AVX-512. The headers above stay at the baseline.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw,avx512vbmi"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vbmi")
#endif

#include "avx512_bytes.h"
#include "two_byte_lower_kernel.h"

namespace corvane::scoring {

std::size_t lower_two_byte_run_avx512(std::string_view text, std::size_t from, char* out) noexcept {
  return lower_two_byte_run<Avx512Bytes>(text, from, out);
}

}  // namespace corvane::scoring

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif  // defined(__x86_64__)
