#include "scoring/unicode/to_lower_full.h"

#include <cstddef>
#include <cstring>
#include <string_view>

#include "scoring/arch/baseline_bytes.h"
#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/final_sigma.h"
#include "scoring/unicode/lower_runs.h"
#include "scoring/unicode/utf8.h"

namespace corvane::scoring {
namespace {

constexpr char32_t kCapitalSigma = 0x03A3;
constexpr char32_t kCapitalIWithDot = 0x0130;

// Converts text[i, size) into out from byte o on and returns the output's
// end. `out` has room for lowered_size_bound(text.size() - i) bytes past o,
// so no mapping can run out of room.
std::size_t lower_into(std::string_view text, std::size_t i, std::size_t o, char* out,
                       const LowerRuns& runs) noexcept {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  while (i < size) {
    const unsigned char lead = in[i];
    if (lead < 0x80) {
      const std::size_t run =
          runs.ascii_run != nullptr && size - i >= runs.ascii_min_size
              ? runs.ascii_run(text.data() + i, size - i, out + o)
              : lower_ascii_run<BaselineBytes>(text.data() + i, size - i, out + o);
      i += run;
      o += run;
      continue;
    }
    if (lead < 0xE0) {
      if (runs.two_byte_run != nullptr && size - i > runs.two_byte_min_size) {
        const std::size_t run = runs.two_byte_run(text, i, out + o);
        i += run;
        o += run;
        if (run != 0) continue;
      }
      // Two-byte sequences one at a time, as long as they follow one another
      // and the vector loop cannot take over.
      for (;;) {
        const char32_t cp = (char32_t{in[i] & 0x1Fu} << 6) | (in[i + 1] & 0x3Fu);
        const unsigned char* mapped = two_byte_lowercase_at(cp);
        if (mapped[0] != 0) {
          out[o] = static_cast<char>(mapped[0]);
          out[o + 1] = static_cast<char>(mapped[1]);
          o += 2;
        } else if (cp == kCapitalSigma) {
          out[o] = '\xCF';
          out[o + 1] = sigma_ends_word(text, i) ? '\x82' : '\x83';  // U+03C2 : U+03C3
          o += 2;
        } else if (cp == kCapitalIWithDot) {
          std::memcpy(out + o, "i\xCC\x87", 3);  // U+0069 U+0307
          o += 3;
        } else {
          o = static_cast<std::size_t>(encode_utf8(simple_lowercase(cp), out + o) - out);
        }
        i += 2;
        if (i == size || in[i] < 0xC0 || in[i] >= 0xE0) break;
        if (runs.two_byte_run != nullptr && size - i > runs.two_byte_min_size) break;
      }
      continue;
    }
    if (runs.long_run != nullptr && size - i > runs.long_min_size) {
      const std::size_t run = runs.long_run(text, i, out + o);
      i += run;
      o += run;
      if (run != 0) continue;
    }
    const Decoded d = decode_at(text, i);
    const char32_t lower = simple_lowercase(d.code_point);
    if (lower == d.code_point) {
      std::memcpy(out + o, in + i, d.length);
      o += d.length;
    } else {
      o = static_cast<std::size_t>(encode_utf8(lower, out + o) - out);
    }
    i += d.length;
  }
  return o;
}

}  // namespace

std::size_t to_lower_full_into(std::string_view text, char* out) noexcept {
  // Short words are mostly ASCII: a plain loop beats setting up the vector
  // code. It hands over at the first byte that is not ASCII.
  std::size_t i = 0;
  if (text.size() <= 16) {
    for (; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c >= 0x80) break;
      out[i] = static_cast<char>(c + (static_cast<unsigned>(c - 'A') < 26u ? 0x20 : 0));
    }
    if (i == text.size()) return i;
  }
  return lower_into(text, i, i, out, lower_runs());
}

}  // namespace corvane::scoring
