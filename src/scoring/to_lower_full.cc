#include "to_lower_full.h"

#include <cstddef>
#include <cstring>
#include <string_view>

#include "allocation.h"
#include "ascii_lower_kernel.h"
#include "case_tables.h"
#include "final_sigma.h"
#include "lower_kernels.h"
#include "utf8.h"

#if defined(__SSE2__)
#include "ascii_lower_sse2.h"
#else
#include "ascii_lower_portable.h"
#endif

namespace corvane::scoring {
namespace {

#if defined(__SSE2__)
using AsciiBytes = Sse2Bytes;
#else
using AsciiBytes = PortableBytes;
#endif

constexpr char32_t capital_sigma = 0x03A3;
constexpr char32_t capital_i_with_dot = 0x0130;

struct Progress {
  std::size_t in = 0;   // bytes of the input converted
  std::size_t out = 0;  // bytes of output written
};

// Converts `text` from `p.in` on into `buffer` from `p.out` on. Keeps
// `capacity - p.out >= text.size() - p.in`, so that whatever does not
// lengthen always fits; returns false, with `p` at the code point, when a
// lengthening mapping would break that, and true when the text is done.
bool lower_into(std::string_view text, Progress& p, char* buffer, std::size_t capacity,
                const LowerKernels& kernels) noexcept {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = p.in;
  std::size_t o = p.out;
  // Whether `count` output bytes for the `consumed` input bytes at i still
  // leave room for the rest.
  const auto fits = [&](std::size_t count, std::size_t consumed) {
    return count <= consumed || capacity - o >= count + (size - i - consumed);
  };

  while (i < size) {
    const unsigned char lead = in[i];
    if (lead < 0x80) {
      const std::size_t run =
          kernels.ascii_run != nullptr && size - i >= kernels.ascii_min_size
              ? kernels.ascii_run(text.data() + i, size - i, buffer + o)
              : lower_ascii_run<AsciiBytes>(text.data() + i, size - i, buffer + o);
      i += run;
      o += run;
      continue;
    }
    if (lead < 0xE0) {
      if (kernels.two_byte_run != nullptr && size - i > kernels.two_byte_min_size) {
        const std::size_t run = kernels.two_byte_run(text, i, buffer + o);
        i += run;
        o += run;
        if (run != 0) continue;
      }
      // Two-byte sequences one at a time, as long as they follow one another
      // and the vector loop cannot take over.
      bool stalled = false;
      for (;;) {
        const char32_t cp = (char32_t{in[i] & 0x1Fu} << 6) | (in[i + 1] & 0x3Fu);
        const unsigned char* mapped = two_byte_lowercase_at(cp);
        if (mapped[0] != 0) {
          buffer[o] = static_cast<char>(mapped[0]);
          buffer[o + 1] = static_cast<char>(mapped[1]);
          o += 2;
        } else if (cp == capital_sigma) {
          buffer[o] = '\xCF';
          buffer[o + 1] = sigma_ends_word(text, i) ? '\x82' : '\x83';  // U+03C2 : U+03C3
          o += 2;
        } else if (cp == capital_i_with_dot) {
          if (!fits(3, 2)) {
            stalled = true;
            break;
          }
          std::memcpy(buffer + o, "i\xCC\x87", 3);  // U+0069 U+0307
          o += 3;
        } else {
          char encoded[4];
          const std::size_t count =
              static_cast<std::size_t>(encode_utf8(simple_lowercase(cp), encoded) - encoded);
          if (!fits(count, 2)) {
            stalled = true;
            break;
          }
          std::memcpy(buffer + o, encoded, count);
          o += count;
        }
        i += 2;
        if (i == size || in[i] < 0xC0 || in[i] >= 0xE0) break;
        if (kernels.two_byte_run != nullptr && size - i > kernels.two_byte_min_size) break;
      }
      if (stalled) {
        p = {i, o};
        return false;
      }
      continue;
    }
    const Decoded d = decode_at(text, i);
    const char32_t lower = simple_lowercase(d.code_point);
    if (lower == d.code_point) {
      std::memcpy(buffer + o, in + i, d.length);
      o += d.length;
    } else {
      char encoded[4];
      const std::size_t count = static_cast<std::size_t>(encode_utf8(lower, encoded) - encoded);
      if (!fits(count, d.length)) {
        p = {i, o};
        return false;
      }
      std::memcpy(buffer + o, encoded, count);
      o += count;
    }
    i += d.length;
  }
  p = {i, o};
  return true;
}

}  // namespace

Text to_lower_full(std::string_view text) {
  Text lowered;
  Progress p;
  bool done = false;
  std::size_t size = text.size();
  static const LowerKernels kernels = pick_lower_kernels();
  for (;;) {
    lowered.resize_and_overwrite(size, [&](char* buffer, std::size_t capacity) noexcept {
      done = lower_into(text, p, buffer, capacity, kernels);
      return p.out;
    });
    if (done) return lowered;
    // A mapping lengthens the text at p.in. The data lets a code point grow
    // by at most half (two bytes to three), so the rest sized that way fits
    // and this happens at most once per call; the slack covers any growth
    // of the one code point that stopped the conversion.
    const std::size_t rest = text.size() - p.in;
    size = p.out + rest + rest / 2 + 4;
  }
}

std::size_t to_lower_full_into(std::string_view text, char* out) noexcept {
  // Short words are mostly ASCII: a plain loop beats setting up the vector
  // code. It hands over at the first byte that is not ASCII.
  Progress p;
  if (text.size() <= 16) {
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c >= 0x80) break;
      out[i] = static_cast<char>(c + (static_cast<unsigned>(c - 'A') < 26u ? 0x20 : 0));
    }
    if (i == text.size()) return i;
    p = {i, i};
  }
  static const LowerKernels kernels = pick_lower_kernels();
  // With the bound's room no mapping can stall the conversion.
  lower_into(text, p, out, lowered_size_bound(text.size()), kernels);
  return p.out;
}

}  // namespace corvane::scoring
