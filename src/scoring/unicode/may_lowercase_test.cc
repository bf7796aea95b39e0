#include "scoring/unicode/may_lowercase.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/final_sigma.h"

namespace corvane::scoring {
namespace {

// What the quick test leaves out, lowercasing leaves alone: in every width
// that holds the code point. (U+0130, the one code point whose full
// mapping differs from its simple one, has a simple mapping too.)
TEST(MayLowercase, LeavesOutOnlyCodePointsThatLowercasingKeeps) {
  for (std::uint32_t c = 0; c <= 0x10FFFF; ++c) {
    const bool kept = simple_lowercase(c) == c && (c < 0xD800 || c > 0xDFFF);
    if (kept) continue;
    ASSERT_TRUE(may_lowercase(c)) << std::hex << c;
    ASSERT_TRUE(c > 0xFFFF || may_lowercase(static_cast<std::uint16_t>(c))) << std::hex << c;
    ASSERT_TRUE(c > 0xFF || may_lowercase(static_cast<std::uint8_t>(c))) << std::hex << c;
  }
}

TEST(MayLowercase, OnlyTheKelvinSignAndDottedCapitalILowercaseIntoAscii) {
  for (std::uint32_t c = 0x80; c <= 0x10FFFF; ++c) {
    const bool into_ascii = simple_lowercase(c) < 0x80;
    ASSERT_EQ(into_ascii, c == kKelvinSign || c == kDottedCapitalI) << std::hex << c;
  }
}

}  // namespace
}  // namespace corvane::scoring
