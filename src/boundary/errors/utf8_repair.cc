#include "boundary/errors/utf8_repair.h"

#include <cstddef>

namespace corvane::boundary {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed sequence at the start of `rest`, or of the
// maximal subpart of an ill-formed one (negated), per Table 3-7 of the
// Unicode Standard.
std::ptrdiff_t sequence_at(std::string_view rest) noexcept {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(rest[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t need;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return -1;
  }
  std::size_t got = 1;
  for (; got < need; ++got) {
    if (got >= rest.size()) return -static_cast<std::ptrdiff_t>(got);
    const unsigned char b = byte(got);
    const unsigned char lo = got == 1 ? low : 0x80;
    const unsigned char hi = got == 1 ? high : 0xBF;
    if (b < lo || b > hi) return -static_cast<std::ptrdiff_t>(got);
  }
  return static_cast<std::ptrdiff_t>(need);
}

}  // namespace

Text repair_utf8(std::string_view bytes) {
  Text out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    std::ptrdiff_t n = sequence_at(bytes);
    if (n > 0) {
      out.append(bytes.substr(0, static_cast<std::size_t>(n)));
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else {
      out.append(kReplacement);
      bytes.remove_prefix(static_cast<std::size_t>(-n));
    }
  }
  return out;
}

}  // namespace corvane::boundary
