#include "scoring/lowercase/to_lower_full.h"

#include <cstddef>
#include <cstring>
#include <string_view>

#include "scoring/arch/ascii_run.h"
#include "scoring/arch/kernel_table.h"
#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/two_byte_lowercase.h"
#include "scoring/unicode/utf8.h"

namespace corvane::scoring {
namespace {

constexpr char32_t kCapitalIWithDot = 0x0130;

// Converts text[i, size) into out from byte o on and returns the output's
// end. `out` has room for lowered_size_bound(text.size() - i) bytes past o,
// so no mapping can run out of room.
std::size_t lower_into(std::string_view text, std::size_t i, std::size_t o, char* out,
                       const KernelTable& table) noexcept {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  while (i < size) {
    const unsigned char lead = in[i];
    if (lead < 0x80) {
      const std::size_t run = lower_ascii_run_with(table, text.data() + i, size - i, out + o);
      i += run;
      o += run;
      continue;
    }
    if (lead < 0xE0) {
      if (table.lower_two_byte_run != nullptr && size - i > table.two_byte_min_size) {
        const std::size_t run = table.lower_two_byte_run(text, i, out + o);
        i += run;
        o += run;
        if (run != 0) continue;
      }
      // Two-byte sequences one at a time, as long as they follow one another
      // and the vector loop cannot take over.
      for (;;) {
        const TwoBytes lowered = lower_two_byte_sequence(text, i);
        const char32_t cp = (char32_t{in[i] & 0x1Fu} << 6) | (in[i + 1] & 0x3Fu);
        if (lowered.first != 0) {
          out[o] = static_cast<char>(lowered.first);
          out[o + 1] = static_cast<char>(lowered.second);
          o += 2;
        } else if (cp == kCapitalIWithDot) {
          std::memcpy(out + o, "i\xCC\x87", 3);  // U+0069 U+0307
          o += 3;
        } else {
          o = static_cast<std::size_t>(encode_utf8(simple_lowercase(cp), out + o) - out);
        }
        i += 2;
        if (i == size || in[i] < 0xC0 || in[i] >= 0xE0) break;
        if (table.lower_two_byte_run != nullptr && size - i > table.two_byte_min_size) break;
      }
      continue;
    }
    if (table.lower_long_run != nullptr && size - i > table.long_min_size) {
      const std::size_t run = table.lower_long_run(text, i, out + o);
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
  return lower_into(text, i, i, out, kernels());
}

}  // namespace corvane::scoring
