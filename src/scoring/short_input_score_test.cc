#include "scoring/short_input_score.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "scoring/arch/kernel_table.h"
#include "scoring/lowercase/to_lower_full.h"
#include "scoring/search/contains_text.h"
#include "scoring/short_units_score.h"
#include "scoring/testing/levels.h"
#include "scoring/testing/testing.h"
#include "scoring/unicode/white_space.h"

namespace corvane::scoring {
namespace {

// A level's kernel, for the query as given or (`prepared`) for its words
// lowercased first, or the dispatched entry (`kernel` null); or one for
// the text as code points of at least `units_width` bytes.
struct Implementation {
  std::string name;
  ShortInputHits* kernel;
  ShortInputPreparedHits* prepared;
  bool available;
  std::size_t units_width = 0;
  ShortUnitsHits* units_kernel = nullptr;

  std::optional<ShortWordHits> hits(std::string_view text, std::string_view query) const {
    if (units_width != 0) {
      const Units units(text, units_width);
      if (units_kernel == nullptr) return short_units_hits(units.text, query);
      const std::vector<std::u32string> lowered = lowered_code_point_words(query);
      if (lowered.empty()) return ShortWordHits{0, 0};
      const std::vector<std::u32string_view> views(lowered.begin(), lowered.end());
      return units_kernel(units.text.data, units.text.length, units.text.width, views,
                          words_are_ascii(views));
    }
    if (prepared != nullptr) {
      // A prepared query has words.
      Vector<std::string_view> words;
      Vector<Text> lowered;
      split_words(query, words);
      if (words.empty()) return ShortWordHits{0, 0};
      lowered.reserve(words.size());  // the views below must not move
      for (std::string_view& word : words) word = lowered.emplace_back(to_lower_full(word));
      return prepared(text, words, to_lower_full_into);
    }
    return kernel != nullptr ? kernel(text, query, to_lower_full_into)
                             : short_input_hits(text, query);
  }
};

// By name: the default printer would show the bytes, padding included.
void PrintTo(const Implementation& implementation, std::ostream* out) {
  *out << implementation.name;
}

// The dispatched entry serves where the level the process runs at has a
// short-input scorer.
std::vector<Implementation> implementations() {
  std::vector<Implementation> all{
      {"dispatched", nullptr, nullptr, kernels().short_input_hits != nullptr}};
  for (const auto& k : each_kernel(&KernelTable::short_input_hits)) {
    all.push_back({std::string(k.level), k.kernel, nullptr, true});
  }
  for (const auto& k : each_kernel(&KernelTable::short_input_prepared_hits)) {
    all.push_back({std::string(k.level) + "_prepared", nullptr, k.kernel, true});
  }
  for (const std::size_t width : {1, 2, 4}) {
    const std::string units = "_units" + std::to_string(width);
    all.push_back(
        {"dispatched" + units, nullptr, nullptr, kernels().short_units_hits != nullptr, width});
    for (const auto& k : each_kernel(&KernelTable::short_units_hits)) {
      all.push_back({std::string(k.level) + units, nullptr, nullptr, true, width, k.kernel});
    }
  }
  return all;
}

// The counts as the score defines them: the whole text lowercased, each
// word by itself, one containment test per word.
ShortWordHits expected_hits(std::string_view text, std::string_view query) {
  Vector<std::string_view> words;
  split_words(query, words);
  const Text lowered = to_lower_full(text);
  ShortWordHits counts{0, words.size()};
  for (std::string_view w : words) counts.hits += contains_text(lowered, to_lower_full(w));
  return counts;
}

class ShortInput : public testing::TestWithParam<Implementation> {
 protected:
  void SetUp() override {
    if (!GetParam().available) GTEST_SKIP() << "this CPU lacks " << GetParam().name;
  }
  void expect_counts(std::string_view text, std::string_view query) {
    ASSERT_TRUE(fits_short_input(text, query));
    const auto got = GetParam().hits(text, query);
    // Only a text whose lowercased form outgrows the limit is left over,
    // and only when the query has words; as code points, any text with
    // U+0130, which lowercases to two.
    const bool outgrows = GetParam().units_width != 0
                              ? text.find("\u0130") != std::string_view::npos
                              : to_lower_full(text).size() > kShortInputBytes;
    if (outgrows && !trim_white_space(query).empty()) {
      EXPECT_FALSE(got.has_value()) << testing::PrintToString(std::string(text));
      return;
    }
    ASSERT_TRUE(got.has_value()) << testing::PrintToString(std::string(text));
    const ShortWordHits counts = got.value_or(ShortWordHits{});
    const ShortWordHits want = expected_hits(text, query);
    EXPECT_EQ(counts.hits, want.hits) << testing::PrintToString(std::string(text)) << " / "
                                      << testing::PrintToString(std::string(query));
    EXPECT_EQ(counts.words, want.words) << testing::PrintToString(std::string(query));
  }
};

// Every text length up to the limit, and a word at every position of it,
// for words that fit one vector and words that do not.
TEST_P(ShortInput, FindsWordsAtEveryPositionAndLength) {
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-";
  for (std::size_t n = 0; n <= kShortInputBytes; ++n) {
    const std::string text = letters.substr(0, n);
    for (std::size_t m : {1u, 2u, 15u, 16u, 17u, 31u, 32u, 33u, 64u}) {
      for (std::size_t at = 0; at + m <= n; at += (m > 8 ? 3 : 1)) {
        std::string word = text.substr(at, m);
        expect_counts(text, word);
        word.back() = '*';  // one byte off at the end: absent
        expect_counts(text, word);
      }
    }
  }
}

// Arguments that mix ASCII, white space of every width, lengthening and
// shrinking mappings, sigmas and NUL, with words cut from the text.
TEST_P(ShortInput, MatchesTheDefinitionOnMixedInput) {
  std::mt19937 random(23);
  const std::string_view units[] = {"a",      "b",      "A",
                                    "B",      "Q",      " ",
                                    "\t",     "\x1F",   std::string_view("\0", 1),
                                    "\u03A3", "\u0391", "\u0130",
                                    "\u212A", "\u00E9", "\u3000",
                                    "\u2028", "\u0085", "xyzzyxyzzyxyzzyx"};
  const auto piece = [&](std::size_t limit) {
    std::string s;
    for (std::size_t target = random() % (limit + 1);
         s.size() + 16 <= limit && s.size() < target;) {
      s.append(units[random() % std::size(units)]);
    }
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = piece(kShortInputBytes);
    std::string query = piece(kShortInputBytes - 24);
    if (!text.empty() && round % 2 == 0) {
      std::size_t from = random() % text.size();
      std::size_t to = from + 1 + random() % 20;
      if (to > text.size()) to = text.size();
      while (from > 0 && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) --from;
      while (to < text.size() && (static_cast<unsigned char>(text[to]) & 0xC0) == 0x80) ++to;
      if (to - from <= 23) (query += ' ') += text.substr(from, to - from);
    }
    expect_counts(text, query);
  }
}

TEST_P(ShortInput, QueryWithoutWordsGivesNoCounts) {
  for (std::string_view query : {"", " ", "\t\n\r\v\f", "\u00A0\u3000\u2029", "   \u0085 "}) {
    const auto got = GetParam().hits("some text", query);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got.value_or(ShortWordHits{1, 1}).hits, 0u);
    EXPECT_EQ(got.value_or(ShortWordHits{1, 1}).words, 0u);
  }
}

// U+0130 grows from two bytes to three: 32 of them outgrow the registers,
// and the general scoring must take over.
TEST_P(ShortInput, TextThatOutgrowsTheLimitIsLeftToTheGeneralPath) {
  std::string text;
  for (int i = 0; i < 32; ++i) text += "\u0130";
  EXPECT_FALSE(GetParam().hits(text, "i").has_value());
  text.resize(text.size() - std::size_t{2} * 11);  // 21 of them: 63 bytes lowercased
  expect_counts(text, "i\u0307i \u0130 x");
}

// A lone surrogate has no UTF-8 form: the general scoring reports it.
TEST(ShortUnits, TextWithASurrogateIsLeftToTheGeneralPath) {
  const std::u32string_view word = U"a";
  const std::span<const std::u32string_view> words(&word, 1);
  const std::uint16_t units16[] = {'a', 0xDC00, 'b'};
  const std::uint32_t units32[] = {'a', 0xD800};
  for (const auto& k : each_kernel(&KernelTable::short_units_hits)) {
    for (const bool ascii_words : {false, true}) {
      EXPECT_FALSE(k.kernel(units16, 3, 2, words, ascii_words).has_value()) << k.level;
      EXPECT_FALSE(k.kernel(units32, 2, 4, words, ascii_words).has_value()) << k.level;
    }
  }
}

// Code points whose low bytes agree and high bytes differ: U+00B1 and
// U+03B1, U+0101 and U+0201 and U+10101; and for words of ASCII, code
// points beyond it whose low byte is an ASCII letter, and the Kelvin sign,
// which lowercases to one.
TEST_P(ShortInput, CodePointsThatShareALowByteAreTold) {
  for (const auto& [text, query] :
       std::initializer_list<std::pair<std::string_view, std::string_view>>{
           {"\u00B1\u03B1", "\u03B1 \u00B1 \u00B1\u03B1 \u03B1\u00B1 \u0391"},
           {"x\u0101\u0201", "\u0201 \u0101\u0201 \U00010101 \u0201\u0101"},
           {"x\U00010101y", "\u0101 \U00010101 x\U00010101 \U00010101y"},
           {"\u212AELVIN \U0001F46B\u0161", "kelvin k a k\u212A"},
           {"a\u0161b\u212A\u00C1", "ab a k bk a b"}}) {
    expect_counts(text, query);
  }
}

INSTANTIATE_TEST_SUITE_P(Implementations, ShortInput, testing::ValuesIn(implementations()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace corvane::scoring
