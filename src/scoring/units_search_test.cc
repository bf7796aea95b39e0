#include "scoring/units_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scoring/arch/kernel_table.h"
#include "scoring/testing/levels.h"
#include "scoring/testing/testing.h"

namespace corvane::scoring {
namespace {

// A query's words lowercased and anchored, or nothing when one has no
// anchor.
struct AnchoredWords {
  std::vector<std::u32string> lowered;
  std::vector<UnitWord> words;
  bool anchored = true;

  explicit AnchoredWords(std::string_view query) : lowered(lowered_code_point_words(query)) {
    for (const std::u32string& word : lowered) {
      const auto made = UnitWord::make(word);
      if (!made) anchored = false;
      if (made) words.push_back(*made);
    }
  }
};

std::uint64_t expected_hits(std::string_view text, std::string_view query) {
  Vector<std::string_view> words;
  split_words(query, words);
  const Text lowered = to_lower_full(text);
  std::uint64_t hits = 0;
  for (const std::string_view word : words) hits += contains_text(lowered, to_lower_full(word));
  return hits;
}

struct Case {
  std::string_view text;
  std::string_view query;
};

// Words whose lowercased form the text's units reach only through the
// full rules, at every place a vector may cut them.
const Case kCases[] = {
    {"The Cat sat on the MAT", "cat dog mat the"},
    {"ΟΔΟΣ ΣΟΦΟΣ ΟΔΟΣ'", "οδος οδοσ σοφος σοφοσ δοσ ος"},
    {"ΑΣ'Β ΑΣ'", "ας'β ασ'β ας'"},
    {"\xC4\xB0stanbul x\xC4\xB0y",
     "i\xCC\x87stanbul stanbul xi xi\xCC\x87y \xCC\x87y \xCC\x87stan"},
    {"KELVIN 5\xE2\x84\xAA \xE2\x84\xAB", "kelvin 5k \xC3\xA5 5kk"},
    {"STRA\xE1\xBA\x9E"
     "E \xC7\x85"
     "EMAL",
     "stra\xC3\x9F"
     "e \xC7\x86"
     "emal strasse"},
    {std::string_view("x\0y z", 5), std::string_view("\0y z\0", 4)},
    {"\xF0\x9F\x9A\xA2 SHIP \xF0\x9F\x90\x88",
     "\xF0\x9F\x9A\xA2 ship \xF0\x9F\x90\x88s \xF0\x9F\x90\x88"},
    {"caf\xC3\x89 na\xC3\xAFve \xCE\xA9 \xE2\x84\xA6",
     "caf\xC3\xA9 na\xC3\xAFve \xCF\x89 \xCF\x89\xCF\x89"},
    // Units whose low byte is a letter of the word: U+0141, U+0161,
    // U+1F461 hold the low bytes of 'A', 'a' and 'a'.
    {"\xC5\x81\xC5\xA1\xC4\x80 \xF0\x9F\x91\xA1x\xC5\xA1"
     "a",
     "a aa xa \xC5\xA1"
     "a"},
};

TEST(UnitsSearch, CountsWhatTheLowercasedTextHolds) {
  const auto kernels_here = each_kernel(&KernelTable::find_unit_pair);
  ASSERT_FALSE(kernels_here.empty());
  const auto low_bytes_here = each_kernel(&KernelTable::keep_low_bytes);
  ASSERT_FALSE(low_bytes_here.empty());
  // Texts of up to kShortInputUnits units are also searched in registers.
  const auto short_keeps = each_kernel(&KernelTable::keep_short_low_bytes);
  const auto short_starts = each_kernel(&KernelTable::short_pair_starts);
  ASSERT_EQ(short_keeps.size(), short_starts.size());
  for (const Case& c : kCases) {
    // Filler before and after moves the words across vector boundaries.
    for (const std::size_t before : {0, 1, 15, 31, 33, 63, 64, 100}) {
      for (const std::size_t after : {0, 5, 70}) {
        const std::string text =
            std::string(before, '.') + std::string(c.text) + " " + std::string(after, '-');
        const AnchoredWords words(c.query);
        const std::uint64_t want = expected_hits(text, c.query);
        for (const std::size_t width : {1, 2, 4}) {
          const Units units(text, width);
          for (const auto& k : kernels_here) {
            // With the widest kernel of the low bytes: what they hold is
            // the same at every level.
            const auto got = count_words_in_units(k.kernel, low_bytes_here.back().kernel,
                                                  units.text, words.words);
            SCOPED_TRACE(std::string(k.level) + " width " + std::to_string(units.text.width) +
                         " before " + std::to_string(before) + ": " + std::string(c.text) + " / " +
                         std::string(c.query));
            ASSERT_TRUE(words.anchored);
            EXPECT_EQ(got, std::optional<std::uint64_t>(want));
          }
          if (units.text.length > kShortInputUnits) continue;
          for (std::size_t k = 0; k < short_keeps.size(); ++k) {
            SCOPED_TRACE(std::string("short ") + std::string(short_keeps[k].level) + " width " +
                         std::to_string(units.text.width) + " before " + std::to_string(before) +
                         ": " + std::string(c.text) + " / " + std::string(c.query));
            EXPECT_EQ(count_words_in_short_units(short_keeps[k].kernel, short_starts[k].kernel,
                                                 units.text, words.words),
                      std::optional<std::uint64_t>(want));
          }
        }
      }
    }
  }
}

TEST(UnitsSearch, WordsThatU0130MayPartlyMakeHaveNoAnchor) {
  for (const char* word : {"i", "\xCC\x87", "i\xCC\x87", "iii"}) {
    EXPECT_FALSE(AnchoredWords(word).anchored) << word;
  }
  EXPECT_TRUE(AnchoredWords("ix").anchored);
}

// The surrogate is left to the general search, which reports it.
TEST(UnitsSearch, ShortLowBytesRefuseASurrogate) {
  for (const std::size_t at : {0, 7, 31, 63}) {
    std::u16string units(64, u'a');
    units[at] = 0xDC00;
    const FixedWidthText text{units.data(), units.size(), 2};
    for (const auto& k : each_kernel(&KernelTable::keep_short_low_bytes)) {
      unsigned char low[kShortInputUnits];
      EXPECT_FALSE(k.kernel(text.data, text.length, text.width, low)) << k.level << " at " << at;
    }
  }
}

// A capital sigma deep in case-ignorable code points is left to the
// general search rather than read at length for every start.
TEST(UnitsSearch, GivesUpOnALongSigmaContext) {
  const std::string text = "A" + std::string(200, '\'') + "\xCE\xA3" + std::string(200, '\'') + "x";
  const AnchoredWords words("'ς'");
  const Units units(text, 2);
  EXPECT_FALSE(count_words_in_units(units.text, words.words).has_value());
}

}  // namespace
}  // namespace corvane::scoring
