// The short-input scorer with SSE2, which every x86-64 CPU has.
#if defined(__x86_64__)

#include <emmintrin.h>

#include <cstdint>

#include "ascii_lower_sse2.h"
#include "partial_load_sse2.h"
#include "short_input_kernel.h"

namespace corvane::scoring {
namespace {

struct Sse2ShortBytes : Sse2Bytes {
  static __m128i load_partial(const char* p, std::size_t size) noexcept {
    return load_partial_sse2(p, size);
  }
};

}  // namespace

std::optional<ShortWordHits> short_input_hits_sse2(std::string_view text,
                                                   std::string_view query) noexcept {
  return short_input_hits_with<Sse2ShortBytes>(text, query);
}

}  // namespace corvane::scoring

#endif  // defined(__x86_64__)
