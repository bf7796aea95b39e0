#include "scoring/arch/ascii_run.h"
#include "scoring/arch/kernel_table.h"
#include "scoring/transcode/fixed_width_text.h"
#include "scoring/unicode/latin1_case.h"

namespace corvane::scoring {

std::size_t lower_latin1_into(const FixedWidthText& text, std::size_t begin, std::size_t end,
                              char* out) noexcept {
  const KernelTable& table = kernels();
  const auto* in = static_cast<const unsigned char*>(text.data);
  std::size_t o = 0;
  std::size_t i = begin;
  if (const auto lower = table.lower_latin1_units) {
    std::size_t consumed = 0;
    o = lower(in + i, end - i, out, consumed);
    i += consumed;
  }
  while (i < end) {
    const std::size_t run =
        lower_ascii_run_with(table, reinterpret_cast<const char*>(in) + i, end - i, out + o);
    i += run;
    o += run;
    // Then the code points from U+0080 on, one at a time, while they last:
    // two UTF-8 bytes each.
    while (i < end && in[i] >= 0x80) {
      const unsigned lower = lower_latin1(in[i++]);
      out[o++] = static_cast<char>(0xC0 | (lower >> 6));
      out[o++] = static_cast<char>(0x80 | (lower & 0x3F));
    }
  }
  return o;
}

}  // namespace corvane::scoring
