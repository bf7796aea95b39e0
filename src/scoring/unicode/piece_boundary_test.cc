#include "scoring/unicode/piece_boundary.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "scoring/lowercase/to_lower_full.h"
#include "scoring/testing/testing.h"

namespace corvane::scoring {
namespace {

struct CutCase {
  const char* text;
  std::size_t from;
  std::size_t expected;
};

class PieceBoundary : public testing::TestWithParam<CutCase> {};

TEST_P(PieceBoundary, FindsTheFirstPlaceToCut) {
  const auto& c = GetParam();
  EXPECT_EQ(next_piece_boundary(c.text, c.from, 64), c.expected) << c.text << " from " << c.from;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, PieceBoundary,
    testing::Values(CutCase{"abcdef", 3, 3},  // between two letters
                    CutCase{"ab'cd", 2, 4},   // not beside an apostrophe (case-ignorable)
                    CutCase{"ab'cd", 3, 4},
                    CutCase{"ab.' x", 2, 4},              // a space may follow ignorables
                    CutCase{"\u0391\u03A3\u0391", 2, 6},  // not beside a capital sigma
                    CutCase{"\u0391\u03A3\u0391", 4, 6},
                    CutCase{"\u0391\u03A3 ", 3, 4},  // from inside a code point: rounded up
                    CutCase{"a\u0345b c", 1, 4},     // U+0345 is cased and case-ignorable
                    CutCase{"a''''", 1, 5}));        // nowhere: the rest is one piece

// The property the cuts exist for: lowercasing the two sides of any cut
// gives the lowercasing of the whole, sigmas and ignorables included.
TEST(PieceBoundary, CutsNeverChangeTheLowercasing) {
  std::mt19937 random(5);
  const char* units[] = {"a",      "B", " ",      "\u03A3", "\u0391", "\u03C3",
                         "'",      ".", ":",      "\u0345", "\u00AD", "\u0301",
                         "\u0130", "1", "\u2019", "\u02B0", "\u10A0", "\u1F88"};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const std::size_t length = 2 + random() % 24;
    for (std::size_t i = 0; i < length; ++i) text += units[random() % std::size(units)];
    const Text whole = to_lower_full(text);
    for (std::size_t from = 1; from <= text.size(); ++from) {
      const std::size_t cut = next_piece_boundary(text, from, 1 + random() % 16);
      ASSERT_GE(cut, from);
      if (cut == text.size()) continue;
      ASSERT_NE(static_cast<unsigned char>(text[cut]) & 0xC0, 0x80);
      const std::string_view t(text);
      Text pieces = to_lower_full(t.substr(0, cut));
      pieces += to_lower_full(t.substr(cut));
      ASSERT_EQ(pieces, whole) << testing::PrintToString(text) << " cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace corvane::scoring
