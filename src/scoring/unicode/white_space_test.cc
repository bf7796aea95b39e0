#include "scoring/unicode/white_space.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "scoring/testing/testing.h"
#include "scoring/unicode/utf8.h"

namespace corvane::scoring {
namespace {

std::string utf8(std::u32string_view code_points) {
  std::string out;
  for (char32_t cp : code_points) {
    char buffer[4];
    out.append(buffer, encode_utf8(cp, buffer));
  }
  return out;
}

constexpr char32_t kWhiteSpace[] = {0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x0020, 0x0085,
                                    0x00A0, 0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004,
                                    0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, 0x2028,
                                    0x2029, 0x202F, 0x205F, 0x3000};

bool listed(char32_t cp) {
  for (char32_t w : kWhiteSpace) {
    if (w == cp) return true;
  }
  return false;
}

// The predicate and the byte-level recogniser agree with the fixed table for
// every scalar value, both ways.
TEST(WhiteSpace, ExactlyTheTwentyFiveCodePointsForEveryScalarValue) {
  int count = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const bool expected = listed(cp);
    ASSERT_EQ(is_white_space(cp), expected) << std::hex << static_cast<std::uint32_t>(cp);
    const std::string text = utf8(std::u32string(1, cp));
    ASSERT_EQ(white_space_length_at(text, 0), expected ? text.size() : 0)
        << std::hex << static_cast<std::uint32_t>(cp);
    count += expected;
  }
  EXPECT_EQ(count, 25);
}

struct TrimCase {
  std::u32string input;
  std::u32string expected;
};

// Printed by size: the default printer would dump the objects' raw bytes,
// unused string storage included.
void PrintTo(const TrimCase& c, std::ostream* os) { *os << c.input.size() << " code points"; }

class Trim : public testing::TestWithParam<TrimCase> {};

TEST_P(Trim, DropsWhiteSpaceAtBothEndsOnly) {
  const std::string input = utf8(GetParam().input);
  EXPECT_EQ(trim_white_space(input), utf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Trim,
    testing::Values(TrimCase{U"", U""}, TrimCase{U" ", U""}, TrimCase{U" \u3000x y\u00A0", U"x y"},
                    TrimCase{U"\u0085\u2003", U""}, TrimCase{U"x", U"x"},
                    TrimCase{U"\u200Bx\u200B", U"\u200Bx\u200B"},
                    TrimCase{U"\t\n\v\f\r a \u205F\u202F\u2029\u2028\u1680", U"a"},
                    TrimCase{U"\u00E9 \u00E9", U"\u00E9 \u00E9"}));

struct SplitCase {
  std::u32string input;
  std::vector<std::u32string> words;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.input.size() << " code points"; }

class Split : public testing::TestWithParam<SplitCase> {};

TEST_P(Split, GivesTheMaximalRunsInOrder) {
  const std::string input = utf8(GetParam().input);
  Vector<std::string_view> words;
  split_words(input, words);
  std::vector<std::string> expected;
  for (const auto& w : GetParam().words) expected.push_back(utf8(w));
  ASSERT_EQ(words.size(), expected.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(words[i], expected[i]);
    // Views point into the input rather than into copies.
    EXPECT_GE(words[i].data(), input.data());
    EXPECT_LE(words[i].data() + words[i].size(), input.data() + input.size());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Split,
    testing::Values(
        SplitCase{U"  alpha\u3000beta\u00A0\tgamma  ", {U"alpha", U"beta", U"gamma"}},
        SplitCase{U"", {}}, SplitCase{U" ", {}}, SplitCase{U"\u2028\u3000", {}},
        SplitCase{U"a\u200Bb", {U"a\u200Bb"}}, SplitCase{U"cat cat", {U"cat", U"cat"}},
        SplitCase{U"x", {U"x"}},
        SplitCase{std::u32string(U"\u0000 \u001F", 3), {std::u32string(1, U'\0'), U"\u001F"}},
        SplitCase{U"\u0130\u2000\u03A3\u0085\U0001F600", {U"\u0130", U"\u03A3", U"\U0001F600"}},
        // Bytes that resemble white-space sequences are not white space.
        SplitCase{U"\u2080\u1681\u3001\u00A1", {U"\u2080\u1681\u3001\u00A1"}}));

// Every white-space code point separates, in every position of a word.
TEST(Split, EachWhiteSpaceCodePointSeparatesAnywhere) {
  for (char32_t w : kWhiteSpace) {
    for (const std::u32string pattern : {U"_a_b_", U"a__b", U"_ab", U"ab_", U"a_b_c"}) {
      std::u32string text;
      std::vector<std::string> expected;
      std::u32string word;
      for (char32_t c : pattern) {
        if (c == U'_') {
          text.push_back(w);
          if (!word.empty()) expected.push_back(utf8(word));
          word.clear();
        } else {
          text.push_back(c);
          word.push_back(c);
        }
      }
      if (!word.empty()) expected.push_back(utf8(word));
      Vector<std::string_view> words;
      const std::string encoded = utf8(text);
      split_words(encoded, words);
      ASSERT_EQ(words.size(), expected.size()) << std::hex << static_cast<std::uint32_t>(w);
      for (std::size_t i = 0; i < words.size(); ++i) EXPECT_EQ(words[i], expected[i]);
    }
  }
}

}  // namespace
}  // namespace corvane::scoring
