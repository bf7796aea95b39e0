#include "scoring/lexical_score.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "scoring/arch/kernel_table.h"
#include "scoring/lowercase/to_lower_full.h"
#include "scoring/search/contains_text.h"
#include "scoring/testing/levels.h"
#include "scoring/testing/testing.h"
#include "scoring/transcode/fixed_width_text.h"
#include "scoring/unicode/utf8.h"
#include "scoring/unicode/white_space.h"
#include "scoring/units_search.h"

namespace corvane::scoring {
namespace {

struct ScoreCase {
  const char* text;
  const char* query;
  double expected;  // the single-precision score, widened
};

class Score : public testing::TestWithParam<ScoreCase> {};

TEST_P(Score, IsTheSinglePrecisionHitRatio) {
  const auto& c = GetParam();
  const auto score = compute_lexical_score(c.text, c.query);
  ASSERT_TRUE(score.has_value()) << c.text << " / " << c.query;
  EXPECT_EQ(static_cast<double>(*score), c.expected) << c.text << " / " << c.query;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Score,
    testing::Values(ScoreCase{"", "a b", 0.0}, ScoreCase{" \t", "cat", 0.0},
                    ScoreCase{"the dog", "the the cat", 0.6666666865348816},
                    ScoreCase{"the dog", "the cat fish", 0.3333333432674408},
                    ScoreCase{"a", "a b c d e f g", 0.1428571492433548},
                    ScoreCase{"a b c d e", "a b c d e z", 0.8333333134651184},
                    ScoreCase{"a b", "a b c d", 0.5}, ScoreCase{"a", "a b c d", 0.25},
                    ScoreCase{"a b c", "a b c d", 0.75}, ScoreCase{"concatenate", "cat", 1.0},
                    ScoreCase{"hello world", "hello,", 0.0},
                    ScoreCase{"Hello World", "WORLD hello", 1.0},
                    ScoreCase{"x cat y", "\u3000 cat\t", 1.0},
                    ScoreCase{"L'\u00C9COLE", "\u00E9cole", 1.0},
                    ScoreCase{"Stra\u00DFe", "STRASSE", 0.0}, ScoreCase{"kilo", "\u212A", 1.0},
                    ScoreCase{"\u039F\u0394\u039F\u03A3", "\u03BF\u03B4\u03BF\u03C2", 1.0},
                    ScoreCase{"\u039F\u0394\u039F\u03A3", "\u039F\u0394\u039F\u03A3", 1.0},
                    ScoreCase{"\u039F\u0394\u039F\u03A3", "\u03BF\u03B4\u03BF\u03C3", 0.0},
                    ScoreCase{"\u0391\u03A3\u0391", "\u03A3\u0391", 1.0},
                    ScoreCase{"\u0391\u03A3\u0391", "\u0391\u03A3", 0.0},
                    ScoreCase{"\u0391\u03A3 \u0391\u03A3\u0391", "\u0391\u03A3", 1.0},
                    ScoreCase{"i", "\u0130", 0.0}, ScoreCase{"\u0130", "i", 1.0},
                    ScoreCase{"\u0130STANBUL", "istanbul", 0.0},
                    ScoreCase{"caf\u00E9", "cafe\u0301", 0.0}, ScoreCase{"a\u200Bb", "\u200B", 1.0},
                    ScoreCase{"ab", "\u200B", 0.0}, ScoreCase{"\x1F", "\x1F", 1.0}));

TEST(Score, RefusesQueriesWithoutWordsWhateverTheText) {
  for (const char* query : {"", " ", " \t\n\u00A0\u3000", "\u2028"}) {
    for (const char* text : {"", "anything", " "}) {
      const auto score = compute_lexical_score(text, query);
      ASSERT_FALSE(score.has_value()) << '"' << query << '"';
      EXPECT_EQ(score.error().kind, ScoreError::Kind::InvalidInput);
      EXPECT_EQ(score.error().message, "query cannot be empty");
      EXPECT_EQ(display(score.error()), "invalid input: query cannot be empty");
    }
  }
}

// NUL is an ordinary character: it neither ends a text nor separates words.
TEST(Score, EmbeddedNulIsOrdinary) {
  const std::string text("a\0b", 3);
  EXPECT_EQ(*compute_lexical_score(text, std::string("\0b", 2)), 1.0f);
  EXPECT_EQ(*compute_lexical_score("a", std::string("a\0", 2)), 0.0f);
}

TEST(Score, CountsAreRoundedToSinglePrecisionBeforeDividing) {
  // 2^24 + 1 words of which all but one hit: both counts round in float.
  std::string query;
  const std::size_t n = (1u << 24) + 1;
  query.reserve(2 * n);
  for (std::size_t i = 0; i + 1 < n; ++i) query += "a ";
  query += "z";
  const float expected =
      static_cast<float>(std::uint64_t{n - 1}) / static_cast<float>(std::uint64_t{n});
  EXPECT_EQ(*compute_lexical_score("a", query), expected);
}

// The score as its definition reads: the whole text lowercased at once,
// each word by itself, one containment test per word.
float whole_text_ratio(std::string_view text, std::string_view query) {
  Vector<std::string_view> words;
  split_words(query, words);
  const Text lowered = to_lower_full(text);
  std::uint64_t hits = 0;
  for (std::string_view w : words) hits += contains_text(lowered, to_lower_full(w));
  return static_cast<float>(hits) / static_cast<float>(words.size());
}

// Large texts are lowercased and searched piece by piece; words that
// straddle pieces, sigmas whose context crosses them, and words longer than
// a piece must score as on the whole text.
TEST(Score, PiecewiseScoringMatchesTheWholeText) {
  std::mt19937 random(7);
  const char* units[] = {"ab", "AB",     " ",      "\u03A3", "\u0391",     "'",      ".", "\u0130",
                         "1",  "\u00C9", "\u212A", "\u4E2D", "\U0001F600", "\u0345", ","};
  const char* queries[] = {"ab",      "\u03C2",  "\u03C3",      "\u03B1\u03C2",
                           "\u03A3'", "i\u0307", "k\u00E9",     "\u0391\u03A3\u0391",
                           "\u4E2D1", "BA'.",    "\u03C3\u03B1"};
  for (const std::size_t size : {100u, 40000u, 70000u, 300000u}) {
    for (int round = 0; round < 6; ++round) {
      std::string text;
      // Long runs without a place to cut (only letters and ignorables) test
      // pieces that must grow past their usual size.
      const bool uncuttable = round % 3 == 2;
      while (text.size() < size) {
        const std::size_t pick = random() % (uncuttable ? 8 : std::size(units));
        text += units[uncuttable && pick == 2 ? 0 : pick];
      }
      std::string query;
      for (const char* q : queries) (query += q) += ' ';
      // A word longer than a piece, taken from the text itself, straddles.
      std::size_t start = text.size() / 3;
      while ((static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
      query += text.substr(start, std::min<std::size_t>(text.size() / 2, 50000));
      while ((static_cast<unsigned char>(query.back()) & 0xC0) == 0x80 ||
             static_cast<unsigned char>(query.back()) >= 0xC0) {
        query.pop_back();
      }
      ASSERT_EQ(word_hit_ratio(text, query), whole_text_ratio(text, query))
          << "size " << size << " round " << round;
    }
  }
}

// Short arguments take their own path: random texts and queries up to and
// just past its size limit, with words cut from the text so that hits,
// misses at every window position and the vector edges all occur.
TEST(Score, ShortArgumentsScoreAsTheWholeText) {
  std::mt19937 random(11);
  const std::string_view units[] = {"a",
                                    "b",
                                    "A",
                                    "B",
                                    "Q",
                                    " ",
                                    "\t",
                                    "\x1F",
                                    std::string_view("\0", 1),
                                    "\u03A3",
                                    "\u0391",
                                    "\u0130",
                                    "\u212A",
                                    "\u00E9",
                                    "\u3000",
                                    "\u2028",
                                    "xyzzyxyzzyxyzzyx"};
  const auto piece = [&](std::size_t limit) {
    std::string s;
    for (std::size_t target = random() % (limit + 1); s.size() < target;) {
      s.append(units[random() % std::size(units)]);
    }
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = piece(round % 7 == 0 ? 70 : 64);
    std::string query = piece(round % 5 == 0 ? 70 : 40);
    if (!text.empty() && round % 2 == 0) {
      // A word taken from the text, cut on code point boundaries.
      std::size_t from = random() % text.size();
      std::size_t to = from + 1 + random() % 20;
      if (to > text.size()) to = text.size();
      while (from > 0 && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) --from;
      while (to < text.size() && (static_cast<unsigned char>(text[to]) & 0xC0) == 0x80) ++to;
      (query += ' ') += text.substr(from, to - from);
    }
    const auto score = compute_lexical_score(text, query);
    if (trim_white_space(query).empty()) {
      ASSERT_FALSE(score.has_value());
      EXPECT_EQ(std::bit_cast<std::uint32_t>(word_hit_ratio(text, query)), 0u);
      continue;
    }
    ASSERT_TRUE(score.has_value());
    const float expected = whole_text_ratio(text, query);
    ASSERT_EQ(*score, expected) << testing::PrintToString(text) << " / "
                                << testing::PrintToString(query);
    ASSERT_EQ(word_hit_ratio(text, query), expected);
  }
}

// Code points in `width`-byte units, and their UTF-8 form.
struct Units {
  std::u32string code_points;
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint16_t> pairs;
  std::vector<std::uint32_t> quads;

  FixedWidthText view(std::size_t width) {
    bytes.assign(code_points.begin(), code_points.end());
    pairs.assign(code_points.begin(), code_points.end());
    quads.assign(code_points.begin(), code_points.end());
    const void* data = width == 1   ? static_cast<const void*>(bytes.data())
                       : width == 2 ? static_cast<const void*>(pairs.data())
                                    : static_cast<const void*>(quads.data());
    return {data, code_points.size(), width};
  }
  std::string utf8() const {
    std::string s;
    for (const char32_t c : code_points) {
      char buffer[4];
      s.append(buffer, encode_utf8(c, buffer));
    }
    return s;
  }
};

// Text held as fixed-width code points scores as its UTF-8 form, for every
// width at every length around the short path's limit and the piece sizes,
// with sigmas, cased and case-ignorable code points where pieces may end
// and words that straddle them.
TEST(LexicalScore, FixedWidthTextScoresAsItsUtf8Form) {
  const std::u32string alphabets[] = {
      U"abc D\u00C9f \u00E0\u00FF\u00D7.",                                  // Latin-1 only
      U"\u039F\u0394\u039F\u03A3 \u03A3' \u0130a\u4E2D\u2019\u212A\u00C9",  // two bytes
      U"\u03A3a\U0001F600 \U00010400\u0301\U00016EA0\u00DF"};               // four bytes
  const std::size_t widths[] = {1, 2, 4};
  const std::size_t lengths[] = {0,    1,     63,    64,    65,    8191,  8192,
                                 8193, 10921, 10923, 16383, 16384, 16385, 40000};
  for (std::size_t w = 0; w < 3; ++w) {
    for (const std::size_t length : lengths) {
      Units text;
      for (std::size_t k = 0; k < length; ++k) {
        text.code_points += alphabets[w][(k * 7 + k / 13) % alphabets[w].size()];
      }
      // A capital sigma just before each place where a piece would end if
      // pieces were cut at a fixed size: cut there, it would end its piece.
      Units query;
      for (const std::size_t at : {std::size_t{8192}, std::size_t{10922}, std::size_t{16384}}) {
        if (w == 0 || at + 1 >= length) continue;
        text.code_points.replace(at - 2, 3, U"\u0391\u03A3\u0391");
        query.code_points += U"\u03B1\u03C3\u03B1 ";
      }
      // Words from both sides of every likely cut, and one absent word.
      for (const std::size_t at : {std::size_t{0}, length / 2, length - 64, length - 8}) {
        if (at < length) query.code_points += text.code_points.substr(at, 12) + U" ";
      }
      query.code_points += alphabets[w].substr(0, 4) + U"\u00DE";
      const std::string utf8_text = text.utf8();
      const std::string utf8_query = query.utf8();
      const auto expected = compute_lexical_score(utf8_text, utf8_query);
      for (const std::size_t width : widths) {
        if (width < widths[w]) continue;
        const auto got = compute_lexical_score_any_form(text.view(width), query.view(width));
        ASSERT_EQ(got.has_value(), expected.has_value()) << width << " " << length;
        if (expected) {
          ASSERT_EQ(*got, *expected) << "width " << width << " length " << length;
        }
        const auto mixed = compute_lexical_score_any_form(text.view(width), utf8_query);
        if (expected) {
          ASSERT_EQ(*mixed, *expected) << "width " << width << " length " << length;
        }
      }
    }
  }
}

// A long text of code points is searched in its units; where that search
// gives up (a word whose every start fails late), it is scored as UTF-8.
TEST(LexicalScore, FixedWidthTextScoresAsItsUtf8FormWhereTheUnitSearchGivesUp) {
  Units text;
  text.code_points = std::u32string(6000, U'z') + U"\u03A3";
  const std::u32string late = std::u32string(20, U'z') + U'y' + std::u32string(20, U'z');
  const auto word = UnitWord::make(late);
  if (!word) FAIL() << "the word has no anchors";
  ASSERT_FALSE(count_words_in_units(text.view(2), std::span(&*word, 1)).has_value());
  Units query;
  query.code_points = late + U" zz \u03C3";
  for (const std::size_t width : {2, 4}) {
    const auto got = compute_lexical_score_any_form(text.view(width), query.utf8());
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, *compute_lexical_score(text.utf8(), query.utf8())) << width;
  }
}

// Every conversion of fixed-width units to UTF-8: the dispatched one, and
// each level's vector encoder that the CPU can run (for the whole blocks it
// converts).
TEST(FixedWidthText, EncodesEveryMixOfLengthsAsUtf8) {
  // ASCII, two-, three- and (at width 4) four-byte code points in every
  // proportion, so that vector blocks fall wholly in one kind or mix them;
  // often the first or last code point of a length.
  const char32_t kinds[][2] = {
      {0x00, 0x7F}, {0x80, 0x7FF}, {0x800, 0xD7FF}, {0xE000, 0xFFFF}, {0x10000, 0x10FFFF}};
  std::mt19937 random(5);
  for (int round = 0; round < 3000; ++round) {
    const std::size_t width = round % 2 == 0 ? 2 : 4;
    Units text;
    const std::size_t length = random() % 140;
    const std::size_t mix = random() % 16;
    for (std::size_t k = 0; k < length; ++k) {
      const auto& kind = kinds[random() % 16 < mix ? random() % (width == 2 ? 4 : 5) : 0];
      const std::uint32_t pick = random() % 8;
      text.code_points += pick == 0   ? kind[0]
                          : pick == 1 ? kind[1]
                                      : kind[0] + random() % (kind[1] - kind[0] + 1);
    }
    const std::string expected = text.utf8();
    std::string out(utf8_size_bound(width, length) + 1, '\0');
    out.resize(encode_utf8_into(text.view(width), 0, length, out.data()));
    ASSERT_EQ(out, expected) << "round " << round << " width " << width;
    // Each encoder converts whole blocks and says how many units it took.
    const auto check_blocks = [&](std::string_view level, auto* encode, const auto& units) {
      std::string block(utf8_size_bound(width, length), '\0');
      std::size_t consumed = 0;
      const std::size_t size = encode(units.data(), length, block.data(), consumed);
      Units head;
      head.code_points = text.code_points.substr(0, consumed);
      ASSERT_EQ(block.substr(0, size), head.utf8()) << level << " round " << round;
      ASSERT_LT(length - consumed, 32u) << level;
    };
    if (width == 2) {
      for (const auto& k : each_kernel(&KernelTable::encode_units16)) {
        check_blocks(k.level, k.kernel, text.pairs);
      }
    } else {
      for (const auto& k : each_kernel(&KernelTable::encode_units32)) {
        check_blocks(k.level, k.kernel, text.quads);
      }
    }
  }
}

TEST(FixedWidthText, LowersEveryLatin1UnitAsUtf8) {
  // Every unit in every lane: all 256 values, rotated.
  for (std::size_t shift = 0; shift < 64; ++shift) {
    Units text;
    for (std::size_t k = 0; k < 300 + shift; ++k) text.code_points += (k * 7 + shift) % 256;
    const FixedWidthText view = text.view(1);
    const Text expected = to_lower_full(text.utf8());
    std::string out(2 * view.length, '\0');
    out.resize(lower_latin1_into(view, 0, view.length, out.data()));
    ASSERT_EQ(out, std::string_view(expected.data(), expected.size())) << shift;
    for (const auto& lowerer : each_kernel(&KernelTable::lower_latin1_units)) {
      std::string block(2 * view.length, '\0');
      std::size_t consumed = 0;
      block.resize(lowerer.kernel(text.bytes.data(), view.length, block.data(), consumed));
      Units head;
      head.code_points = text.code_points.substr(0, consumed);
      const Text head_lowered = to_lower_full(head.utf8());
      ASSERT_EQ(block, std::string_view(head_lowered.data(), head_lowered.size()))
          << lowerer.level << " " << shift;
      ASSERT_LT(view.length - consumed, 32u) << lowerer.level;
    }
  }
}

TEST(FixedWidthText, FindsSurrogatesAnywhere) {
  for (const std::size_t length : {1, 255, 256, 257, 1000}) {
    for (const std::size_t at : {std::size_t{0}, length / 2, length - 1}) {
      for (const char32_t surrogate : {U'\xD800', U'\xDBFF', U'\xDC00', U'\xDFFF'}) {
        Units text;
        text.code_points.assign(length, U'\xD7FF');
        EXPECT_FALSE(holds_surrogate(text.view(2)));
        EXPECT_FALSE(holds_surrogate(text.view(4)));
        text.code_points[at] = surrogate;
        EXPECT_TRUE(holds_surrogate(text.view(2))) << length << " " << at;
        EXPECT_TRUE(holds_surrogate(text.view(4))) << length << " " << at;
      }
    }
  }
}

}  // namespace
}  // namespace corvane::scoring
