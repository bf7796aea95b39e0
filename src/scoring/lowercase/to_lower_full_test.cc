#include "scoring/lowercase/to_lower_full.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "scoring/arch/baseline_bytes.h"
#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/kernel_table.h"
#include "scoring/arch/portable/portable_bytes.h"
#include "scoring/testing/levels.h"
#include "scoring/testing/testing.h"
#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/sigma_context.h"
#include "scoring/unicode/two_byte_case_shift.h"
#include "scoring/unicode/utf8.h"

namespace corvane::scoring {
namespace {

std::string utf8(std::u32string_view code_points) {
  std::string out;
  for (const char32_t cp : code_points) {
    char buffer[4];
    out.append(buffer, encode_utf8(cp, buffer));
  }
  return out;
}

std::string utf8_of(char32_t cp) { return utf8(std::u32string_view(&cp, 1)); }

std::string hex(char32_t cp) {
  std::ostringstream out;
  out << "U+" << std::hex << std::uppercase << static_cast<std::uint32_t>(cp);
  return out.str();
}

std::string lower(std::string_view text) {
  const Text lowered = to_lower_full(text);
  return std::string(lowered.data(), lowered.size());
}

// The conversion written the plain way: decode everything, then map each
// code point, reading the sigma's context from the decoded input. Gives the
// lowercase form of each input code point.
std::vector<std::string> naive_lower_each(std::string_view text) {
  std::u32string in;
  for (std::size_t i = 0; i < text.size();) {
    const Decoded d = decode_at(text, i);
    in.push_back(d.code_point);
    i += d.length;
  }
  std::vector<std::string> out;
  for (std::size_t k = 0; k < in.size(); ++k) {
    const char32_t c = in[k];
    if (c == 0x0130) {
      out.push_back(utf8(U"\u0069\u0307"));
    } else if (c == 0x03A3) {
      std::size_t b = k;
      while (b > 0 && is_case_ignorable(in[b - 1])) --b;
      const bool cased_before = b > 0 && is_cased(in[b - 1]);
      std::size_t a = k + 1;
      while (a < in.size() && is_case_ignorable(in[a])) ++a;
      const bool cased_after = a < in.size() && is_cased(in[a]);
      out.push_back(utf8_of(cased_before && !cased_after ? U'\u03C2' : U'\u03C3'));
    } else {
      out.push_back(utf8_of(simple_lowercase(c)));
    }
  }
  return out;
}

std::string naive_lower(std::string_view text) {
  std::string out;
  for (const std::string& piece : naive_lower_each(text)) out += piece;
  return out;
}

struct Example {
  const char* name;
  std::u32string input;
  std::u32string expected;
};

void PrintTo(const Example& e, std::ostream* os) { *os << e.name; }

class LowercaseExample : public testing::TestWithParam<Example> {};

TEST_P(LowercaseExample, Converts) {
  const Example& e = GetParam();
  EXPECT_EQ(lower(utf8(e.input)), utf8(e.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Sigma, LowercaseExample,
    testing::Values(Example{"WordEnd", U"ΟΔΟΣ", U"οδος"}, Example{"WordStart", U"ΣΑ", U"σα"},
                    Example{"Alone", U"Σ", U"σ"}, Example{"Inside", U"ΑΣΑ", U"ασα"},
                    Example{"BeforeFullStopAtEnd", U"ΑΣ.", U"ας."},
                    Example{"ApostropheThenLetter", U"ΑΣ'Α", U"ασ'α"},
                    Example{"BeforeDigit", U"ΑΣ1", U"ας1"}, Example{"AfterDigit", U"1Σ", U"1σ"},
                    Example{"AfterLatin", U"AΣ", U"aς"}, Example{"StringEnd", U"ΑΣ", U"ας"},
                    Example{"AfterCasedIgnorable", U"\u02B0Σ", U"\u02B0σ"},
                    Example{"AfterYpogegrammeniOnly", U"\u0345Σ", U"\u0345σ"},
                    Example{"PassesOverCasedIgnorableBefore", U"Α\u0345Σ", U"α\u0345ς"},
                    Example{"PassesOverCasedIgnorableAfter", U"ΑΣ\u02B0Α", U"ασ\u02B0α"},
                    Example{"CombiningMarkAfter", U"ΑΣ\u0301", U"ας\u0301"},
                    Example{"CombiningMarkThenLetter", U"ΑΣ\u0301Β", U"ασ\u0301β"},
                    Example{"ManyIgnorablesBefore", U"Α''..::Σ", U"α''..::ς"},
                    Example{"SpaceBefore", U"Α Σ", U"α σ"}, Example{"SpaceAfter", U"ΑΣ Β", U"ας β"},
                    Example{"Pair", U"ΑΣΣ", U"ασς"},
                    Example{"TwoWords", U"ΟΔΟΣ ΟΔΟΣ", U"οδος οδος"},
                    Example{"AfterThreeByteCased", U"\u2160Σ", U"\u2170ς"},
                    Example{"BeforeFourByteCased", U"ΑΣ\U00010400", U"ασ\U00010428"},
                    Example{"SmallSigmasStay", U"σς", U"σς"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Mappings, LowercaseExample,
    testing::Values(
        Example{"Empty", U"", U""},
        Example{"Ascii", U"Hello, World 09@[`{", U"hello, world 09@[`{"},
        Example{"NulIsOrdinary", std::u32string(U"A\0B", 3), std::u32string(U"a\0b", 3)},
        Example{"CapitalIWithDot", U"\u0130", U"\u0069\u0307"},
        Example{"KelvinSign", U"\u212A", U"k"}, Example{"OhmSign", U"\u2126", U"\u03C9"},
        Example{"CapitalSharpS", U"\u1E9E", U"\u00DF"},
        Example{"SharpSStays", U"\u00DF", U"\u00DF"}, Example{"Strasse", U"STRASSE", U"strasse"},
        Example{"StrasseSharpS", U"Straße", U"straße"}, Example{"EAcute", U"\u00C9", U"\u00E9"},
        Example{"DzCapital", U"\u01C4", U"\u01C6"}, Example{"DzTitlecase", U"\u01C5", U"\u01C6"},
        Example{"LunateSigma", U"\u03F9", U"\u03F2"}, Example{"Cherokee", U"\u13A0", U"\uAB70"},
        Example{"Georgian", U"\u10A0", U"\u2D00"}, Example{"Deseret", U"\U00010400", U"\U00010428"},
        Example{"NoNormalisation", U"E\u0301", U"e\u0301"},
        Example{"AUnicode17", U"\uA7CE\uA7D2\uA7D4", U"\uA7CF\uA7D3\uA7D5"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ToLowerFull, MapsTheUnicode17BeriaErfeLetters) {
  for (char32_t k = 0; k <= 0x18; ++k) {
    EXPECT_EQ(lower(utf8_of(0x16EA0 + k)), utf8_of(0x16EBB + k)) << hex(k);
  }
}

TEST(ToLowerFull, ChangesByteLengthsWhereMappingsDo) {
  struct Case {
    char32_t from;
    std::size_t from_bytes;
    std::size_t to_bytes;
  };
  for (const Case c : {Case{0x0130, 2, 3}, Case{0x023A, 2, 3}, Case{0x023E, 2, 3},
                       Case{0x212A, 3, 1}, Case{0x2126, 3, 2}, Case{0x2C62, 3, 2}}) {
    const std::string one = utf8_of(c.from);
    ASSERT_EQ(one.size(), c.from_bytes);
    EXPECT_EQ(lower(one).size(), c.to_bytes) << hex(c.from);
    // Many of them, and mixed with shortening ones, so that the buffer has
    // to grow at different points (or not at all).
    for (std::size_t count : {1, 7, 16, 100, 4096}) {
      std::string many;
      for (std::size_t k = 0; k < count; ++k) many += one;
      EXPECT_EQ(lower(many), naive_lower(many)) << hex(c.from) << " x" << count;
      const std::string mixed = utf8(U"\u212A\u212A") + many + "AB" + utf8(U"\u0130");
      EXPECT_EQ(lower(mixed), naive_lower(mixed)) << hex(c.from) << " x" << count;
    }
  }
}

// ASCII of every run length, with one non-ASCII code point at every offset:
// the vector loop's tails and the hand-over between the paths.
TEST(ToLowerFull, MatchesNaiveAroundAsciiRuns) {
  const std::string pattern = "The Quick-Brown FOX, jumps: 0..9 ^`@[{ ZAza'/\x7F";
  const std::u32string inserts = U"\u00C9\u0130\u03A3\u041A\u212A\u4E2D\U00010400\u02B0";
  for (std::size_t length = 0; length <= 100; ++length) {
    std::string ascii;
    for (std::size_t k = 0; k < length; ++k) ascii += pattern[(k * 7) % pattern.size()];
    ASSERT_EQ(lower(ascii), naive_lower(ascii)) << length;
    for (std::size_t at = 0; at <= length; ++at) {
      for (const char32_t c : inserts) {
        std::string text = ascii;
        text.insert(at, utf8_of(c));
        ASSERT_EQ(lower(text), naive_lower(text)) << length << " " << at << " " << hex(c);
      }
    }
  }
}

TEST(ToLowerFull, MatchesNaiveOnMixedScripts) {
  const std::u32string pieces[] = {
      U"ΟΔΥΣΣΕΥΣ ", U"Σ ",  U"ΑΣ. ",     U"Москва СССР ", U"İSTANBUL ", U"\u212A\u212B ", U"ȺȾ ",
      U"日本語 ",   U"𐐀𐐁 ", U"\u0345Σ ", U"ΑΣ\u0301",     U"Ǆǅ ",       U"\u00A0",        U"x"};
  std::u32string text;
  for (int round = 0; round < 50; ++round) {
    for (std::size_t k = 0; k < std::size(pieces); ++k) {
      text += pieces[(k * 5 + round) % std::size(pieces)];
    }
  }
  // Every prefix end moves the sigma context and the string's end.
  const std::string whole = utf8(text);
  for (std::size_t end = 0; end <= text.size(); end += 3) {
    const std::string prefix = utf8(std::u32string_view(text).substr(0, end));
    ASSERT_EQ(lower(prefix), naive_lower(prefix)) << end;
  }
  EXPECT_EQ(lower(whole), naive_lower(whole));
}

void check_ascii_run(LowerAsciiRun run) {
  // Every size, with the first byte of 0x80 or more at every position (or
  // none): the converted prefix must be exactly the ASCII bytes before it.
  for (std::size_t size = 0; size <= 300; ++size) {
    for (std::size_t stop = 0; stop <= size; ++stop) {
      std::string in;
      for (std::size_t k = 0; k < size; ++k) in += static_cast<char>((k * 37 + stop) % 0x80);
      if (stop < size) in[stop] = static_cast<char>(0x80 + (size * 31 + stop) % 0x80);
      std::string out(size, '\xFF');
      ASSERT_EQ(run(in.data(), in.size(), out.data()), stop) << size << " " << stop;
      for (std::size_t k = 0; k < stop; ++k) {
        const char c = in[k];
        ASSERT_EQ(out[k], c >= 'A' && c <= 'Z' ? c + 32 : c) << size << " " << stop << " " << k;
      }
    }
  }
}

// The baseline loop that callers inline, and each level's own.
TEST(AsciiLowerKernel, EveryLevelMatchesBytewise) {
  check_ascii_run([](const char* in, std::size_t size, char* out) noexcept {
    return lower_ascii_run<BaselineBytes>(in, size, out);
  });
  for (const auto& k : each_kernel(&KernelTable::lower_ascii_run)) {
    SCOPED_TRACE(k.level);
    check_ascii_run(k.kernel);
  }
}

// Where the two-byte vector loop may stop: too near the end for a block
// (a sequence that the last block's end cuts included), or at a code point
// that it leaves to the scalar code.
bool may_stop_at(std::string_view text, std::size_t at, std::size_t width) {
  if (text.size() - at <= width + 1) return true;
  const Decoded d = decode_at(text, at);
  if (d.length > 2) return true;
  return d.length == 2 && d.code_point != 0x03A3 && two_byte_lowercase_at(d.code_point)[0] == 0;
}

// Where the long vector loop may stop: near the end, before a two-byte
// sequence, or before a code point that lowercasing changes (one whose
// form is shorter, or that a block's end cuts).
bool may_stop_long_at(std::string_view text, std::size_t at, std::size_t width) {
  if (text.size() - at <= width + 1) return true;
  const Decoded d = decode_at(text, at);
  return d.length == 2 || simple_lowercase(d.code_point) != d.code_point;
}

// Runs the loop over `text` as the converter would, taking one code point
// itself wherever the loop stops, and compares every converted stretch with
// the naive conversion. Gives the number of stops before the end.
std::size_t expect_run_matches_naive(LowerSequenceRun run, std::size_t width,
                                     const std::string& text,
                                     bool (*may_stop)(std::string_view, std::size_t,
                                                      std::size_t) = may_stop_at) {
  const std::vector<std::string> expected = naive_lower_each(text);
  std::string out(text.size(), '\0');
  std::size_t at = 0;
  std::size_t index = 0;  // of the code point at `at`
  std::size_t stops = 0;
  while (at < text.size()) {
    const std::size_t length = run(text, at, out.data() + at);
    std::string want;
    std::size_t end = at;
    while (end < at + length) {
      want += expected[index++];
      end += decode_at(text, end).length;
    }
    EXPECT_EQ(end, at + length) << "stopped inside a code point at " << at;
    EXPECT_EQ(std::string_view(out.data() + at, length), want) << "from " << at;
    if (end != at + length || testing::Test::HasFailure()) return stops;
    at = end;
    if (at == text.size()) break;
    EXPECT_TRUE(may_stop(text, at, width)) << at;
    at += decode_at(text, at).length;  // what the scalar code would take
    ++index;
    ++stops;
  }
  return stops;
}

void check_two_byte_run(LowerSequenceRun run, std::size_t width) {
  // Every two-byte code point, with ASCII between them at changing gaps so
  // that sequences meet block ends at both offsets; sigmas in changing
  // company, and a few three- and four-byte code points and the scalar
  // cases that stop the loop now and then.
  std::u32string code_points;
  for (char32_t c = 0x80; c < 0x800; ++c) {
    code_points += c;
    for (char32_t gap = 0; gap < c % 5; ++gap) code_points += U"aZ .'"[(c + gap) % 5];
    if (c % 7 == 0) code_points += U'Σ';
    if (c % 97 == 0) code_points += U"\u4E2D";
    if (c % 211 == 0) code_points += U"\U00010400";
  }
  EXPECT_GT(expect_run_matches_naive(run, width, utf8(code_points)), 10u);
}

// Every two-byte code point after `shift` bytes of ASCII, so that over the
// shifts each one meets every lane of a block and every block end: side by
// side (a capital's lead next to the one before's continuation), with a
// sigma after each (final before a space, or before the next code point),
// or with ASCII between.
std::string every_two_byte_code_point(std::size_t shift, int company) {
  std::u32string text(shift, U'x');
  for (char32_t c = 0x80; c < 0x800; ++c) {
    text += c;
    if (company == 1) text += c % 3 == 0 ? U"Σ " : c % 3 == 1 ? U"Σ" : U"";
    if (company == 2) text += std::u32string_view(U"Ab, ").substr(0, c % 4);
  }
  return utf8(text);
}

void check_capitals_in_every_lane(LowerSequenceRun run, std::size_t width) {
  for (std::size_t shift = 0; shift <= 2 * width; ++shift) {
    for (int company = 0; company < 3; ++company) {
      expect_run_matches_naive(run, width, every_two_byte_code_point(shift, company));
      ASSERT_FALSE(testing::Test::HasFailure()) << "shift " << shift << " company " << company;
    }
  }
  // Short texts: one capital among ASCII at every offset and every length
  // around the block sizes, so that the last blocks end on it or next to it.
  for (std::size_t size = width; size <= 3 * width + 2; ++size) {
    for (std::size_t at = 0; at + 2 <= size; ++at) {
      for (const char32_t capital : {U'Д', U'Ё', U'Ω', U'Σ', U'Ά', U'É'}) {
        std::string text(size - 2, 'Q');
        text.insert(at, utf8_of(capital));
        expect_run_matches_naive(run, width, text);
        ASSERT_FALSE(testing::Test::HasFailure()) << size << " " << at << " " << hex(capital);
      }
    }
  }
}

// Capital sigmas between every pair of neighbours that the vector tests
// settle or leave to the scalar scan (letters of several scripts, spaces
// and punctuation, case-ignorables, other sigmas, the text's ends), moved
// through every lane of the blocks, so that the neighbours fall in the same
// block, the one before, or the one after.
void check_sigma_neighbours(LowerSequenceRun run, std::size_t width) {
  const std::u32string_view neighbours[] = {
      U"Α", U"ω",      U"ά",      U"Ώ",      U"Σ",       U"ς",  U"a",  U"Z",
      U"É", U"ж",      U"Ж",      U" ",      U",",       U";",  U"\n", U"1",
      U"'", U".",      U"\u0301", U"\u00AD", U"«",       U"»",  U"Ա",  U"ա",
      U"ΐ", U"\u03A2", U"\u0387", U"\u2019", U"Α\u0301", U".Α", U". ", U"",
  };
  for (const std::u32string_view before : neighbours) {
    for (const std::u32string_view after : neighbours) {
      std::u32string core = std::u32string(before) + U"Σ" + std::u32string(after);
      for (std::size_t shift = 0; shift <= width + 3; ++shift) {
        // ASCII and Greek filler, so that the sigma's lead and the
        // neighbours meet block ends at both byte offsets.
        std::u32string text;
        for (std::size_t k = 0; k < shift; ++k) text += k % 3 == 0 ? U'β' : U'x';
        const std::u32string tail = U"ΑΒΓ δε " + core + U" ζη ΘΙ";
        text += tail + tail;
        expect_run_matches_naive(run, width, utf8(text));
        // And with the sigma at the very start or end of the text.
        expect_run_matches_naive(run, width, utf8(core + text));
        expect_run_matches_naive(run, width, utf8(text + core));
        ASSERT_FALSE(testing::Test::HasFailure())
            << hex(before.empty() ? 0 : before[0]) << " " << hex(after.empty() ? 0 : after[0])
            << " shift " << shift;
      }
      const std::string alone = utf8(core);
      ASSERT_EQ(lower(alone), naive_lower(alone));
    }
  }
}

// The capital of a Greek or Cyrillic small letter; other code points stay.
char32_t capital_of(char32_t c) {
  if (c == U'ς') return U'Σ';
  if ((c >= 0x3B1 && c <= 0x3C9) || (c >= 0x430 && c <= 0x44F)) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c == U'ό' ? U'Ό' : c == U'ά' ? U'Ά' : c;
}

// Seeded prose: Greek and Cyrillic words in lowercase, capitalised or in
// capitals (sigmas among them), with spaces, punctuation, ASCII words and
// now and then a run of up to 200 lowercase omegas, so that blocks with
// capitals follow runs of clean ones (which skip the arithmetic), and an
// occasional three-byte code point stops the loop.
std::string seeded_prose(std::uint64_t seed) {
  const std::u32string_view words[] = {
      U"λόγος", U"ασ",   U"ς",      U"σοφός", U"άνθρωπος", U"ώρα", U"οδός'", U"ήλιος.",
      U"ёлка",  U"мир",  U"сердце", U"ѐ",     U"Ї",        U"the", U"élan",  U"»",
      U"—",     U"ίσως", U"σσ",     U"ύψος,", U"αΐ",       U"ъ",   U"1999",  U"ό\u0301σ"};
  std::u32string text;
  std::uint64_t state = seed;
  const auto below = [&](std::uint64_t bound) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return (state >> 33) % bound;
  };
  while (text.size() < 3000) {
    const std::u32string_view word = words[below(std::size(words))];
    const std::uint64_t form = below(8);  // 0..4 lowercase, 5..6 capitalised, 7 capitals
    for (std::size_t k = 0; k < word.size(); ++k) {
      const bool capital = form == 7 || (form >= 5 && k == 0);
      text += capital ? capital_of(word[k]) : word[k];
    }
    text += below(16) == 0 ? std::u32string(below(200), U'ω') : U" ";
  }
  return utf8(text);
}

void check_seeded_prose(LowerSequenceRun run, std::size_t width,
                        bool (*may_stop)(std::string_view, std::size_t,
                                         std::size_t) = may_stop_at) {
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    expect_run_matches_naive(run, width, seeded_prose(seed), may_stop);
    ASSERT_FALSE(testing::Test::HasFailure()) << "seed " << seed;
  }
}

TEST(ToLowerFull, MatchesNaiveOnSeededProse) {
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    const std::string text = seeded_prose(seed);
    ASSERT_EQ(lower(text), naive_lower(text)) << "seed " << seed;
  }
}

TEST(TwoByteLower, EveryLevelSettlesSigmasLikeNaive) {
  for (const auto& k :
       each_kernel(&KernelTable::lower_two_byte_run, &KernelTable::two_byte_min_size)) {
    SCOPED_TRACE(k.level);
    check_sigma_neighbours(k.kernel, k.width);
  }
}

TEST(TwoByteLower, EveryLevelMatchesNaive) {
  for (const auto& k :
       each_kernel(&KernelTable::lower_two_byte_run, &KernelTable::two_byte_min_size)) {
    SCOPED_TRACE(k.level);
    check_two_byte_run(k.kernel, k.width);
    check_capitals_in_every_lane(k.kernel, k.width);
    check_seeded_prose(k.kernel, k.width);
  }
}

// Every code point of three bytes and those of four in the cased blocks and
// the emoji, each after `shift` bytes of ASCII and with ASCII between them
// at changing gaps, so that sequences meet block ends at every offset; a
// two-byte code point now and then.
std::string every_long_code_point(std::size_t shift) {
  std::u32string text(shift, U'x');
  const auto add = [&](char32_t first, char32_t last) {
    for (char32_t c = first; c <= last; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      text += c;
      for (char32_t gap = 0; gap < c % 3; ++gap) text += U"Q, "[(c + gap) % 3];
      if (c % 509 == 0) text += U'Σ';
    }
  };
  add(0x800, 0xFFFF);
  add(0x10400, 0x105FF);  // Deseret, Osage, Vithkuqi
  add(0x10C80, 0x10DFF);  // Old Hungarian, Garay
  add(0x118A0, 0x118FF);  // Warang Citi
  add(0x16E40, 0x16EFF);  // Medefaidrin, and the Unicode 17.0 additions
  add(0x1E900, 0x1E95F);  // Adlam
  add(0x1F300, 0x1F6FF);  // emoji
  return utf8(text);
}

TEST(LongLower, EveryLevelMatchesNaive) {
  for (const auto& k : each_kernel(&KernelTable::lower_long_run, &KernelTable::long_min_size)) {
    for (std::size_t shift = 0; shift < k.width; shift += k.width / 16 + 1) {
      expect_run_matches_naive(k.kernel, k.width, every_long_code_point(shift), may_stop_long_at);
      ASSERT_FALSE(testing::Test::HasFailure()) << k.level << " shift " << shift;
    }
    SCOPED_TRACE(k.level);
    check_seeded_prose(k.kernel, k.width, may_stop_long_at);
  }
}

TEST(ToLowerFull, MatchesNaiveOnEveryLongCodePoint) {
  for (std::size_t shift = 0; shift < 4; ++shift) {
    const std::string text = every_long_code_point(shift);
    ASSERT_EQ(lower(text), naive_lower(text)) << "shift " << shift;
  }
}

TEST(ToLowerFull, MatchesNaiveWithCapitalsInEveryLane) {
  for (std::size_t shift = 0; shift <= 64; ++shift) {
    for (int company = 0; company < 3; ++company) {
      const std::string text = every_two_byte_code_point(shift, company);
      ASSERT_EQ(lower(text), naive_lower(text)) << "shift " << shift << " company " << company;
    }
  }
}

// The arithmetic of two_byte_case_shift.h against the generated data, for
// every two-byte code point it claims; it claims the capitals it is for,
// and for the leads it covers every code point that lowercasing changes.
TEST(CaseShift, AgreesWithTheLowercaseTable) {
  std::u32string claimed;
  for (char32_t c = 0x80; c < 0x800; ++c) {
    const std::string bytes = utf8_of(c);
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const auto cont = static_cast<unsigned char>(bytes[1]);
    const unsigned bits = case_shift_bits(lead, cont);
    if (bits == 0) {
      ASSERT_TRUE(!case_shift_claims_lead(lead) || simple_lowercase(c) == c) << hex(c);
      continue;
    }
    claimed += c;
    ASSERT_EQ(c + case_shift_delta(bits, cont), simple_lowercase(c)) << hex(c);
    ASSERT_EQ(utf8_of(simple_lowercase(c)).size(), 2u) << hex(c);
  }
  std::u32string wanted = U"\u0386\u0388\u0389\u038A\u038C\u038E\u038F";
  for (char32_t c = 0x00C0; c <= 0x00DE; ++c) {
    if (c != 0x00D7) wanted += c;
  }
  for (char32_t c = 0x0391; c <= 0x03AB; ++c) {
    if (c != 0x03A2) wanted += c;
  }
  for (char32_t c = 0x0400; c <= 0x042F; ++c) wanted += c;
  std::sort(wanted.begin(), wanted.end());
  EXPECT_EQ(claimed, wanted);
}

// The sigma neighbours that sigma_context.h settles must have exactly the
// properties it says: letters cased and not case-ignorable, breaks neither.
TEST(SigmaContext, AgreesWithTheProperties) {
  std::size_t letters = 0;
  std::size_t breaks = 0;
  for (char32_t c = 0; c < 0x80; ++c) {
    const auto b = static_cast<unsigned char>(c);
    ASSERT_FALSE(sigma_ascii_letter(b) && sigma_ascii_break(b)) << hex(c);
    if (sigma_ascii_letter(b)) {
      ASSERT_TRUE(is_cased(c) && !is_case_ignorable(c)) << hex(c);
      ++letters;
    }
    // Every ASCII code point that is neither is a break.
    ASSERT_EQ(sigma_ascii_break(b), !is_cased(c) && !is_case_ignorable(c)) << hex(c);
    breaks += sigma_ascii_break(b) ? 1 : 0;
  }
  EXPECT_EQ(letters, 52u);
  EXPECT_EQ(breaks, 128u - 52u - 5u);
  for (unsigned b = 0x80; b < 0x100; ++b) {
    ASSERT_FALSE(sigma_ascii_break(static_cast<unsigned char>(b))) << b;
  }
  std::size_t two_byte = 0;
  for (char32_t c = 0x80; c < 0x800; ++c) {
    const std::string bytes = utf8_of(c);
    if (!sigma_two_byte_letter(static_cast<unsigned char>(bytes[0]),
                               static_cast<unsigned char>(bytes[1]))) {
      continue;
    }
    ASSERT_TRUE(is_cased(c) && !is_case_ignorable(c)) << hex(c);
    ++two_byte;
  }
  // Latin-1 (62), Greek (seven accented capitals, U+0390..U+03CF but
  // U+03A2) and Cyrillic (0x80) letters.
  EXPECT_EQ(two_byte, 62u + 7u + 0x3Fu + 0x80u);
  // No continuation byte after a lead that is not one, and no lead byte as
  // a continuation, counts.
  for (unsigned lead = 0; lead < 0x100; ++lead) {
    for (unsigned cont = 0; cont < 0x100; ++cont) {
      if (lead >= 0xC0 && lead < 0xE0 && cont >= 0x80 && cont < 0xC0) continue;
      ASSERT_FALSE(
          sigma_two_byte_letter(static_cast<unsigned char>(lead), static_cast<unsigned char>(cont)))
          << lead << " " << cont;
    }
  }
}

struct Expected {
  std::u32string lower;
  bool cased = false;
  bool case_ignorable = false;
};

// Reads the dump of dump_expected_lowercase.mjs into one entry per code point.
std::vector<Expected> read_expected(const char* path) {
  std::vector<Expected> all(0x110000);
  for (char32_t c = 0; c < 0x110000; ++c) all[c].lower = std::u32string(1, c);
  std::ifstream file(path);
  EXPECT_TRUE(file) << "cannot open " << path;
  std::string line;
  std::size_t listed = 0;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t first = line.find(';');
    const std::size_t second = line.find(';', first + 1);
    const auto cp = static_cast<char32_t>(std::stoul(line.substr(0, first), nullptr, 16));
    Expected& e = all.at(cp);
    e.lower.clear();
    std::istringstream lower(line.substr(first + 1, second - first - 1));
    std::string hex;
    while (lower >> hex) e.lower.push_back(static_cast<char32_t>(std::stoul(hex, nullptr, 16)));
    const std::string flags = line.substr(second + 1);
    e.cased = flags.find('C') != std::string::npos;
    e.case_ignorable = flags.find('I') != std::string::npos;
    ++listed;
  }
  EXPECT_GT(listed, 7000u);
  return all;
}

bool is_scalar_value(char32_t c) { return c < 0xD800 || (c > 0xDFFF && c < 0x110000); }

TEST(ToLowerFull, MatchesTheUnicodeDataForEveryCodePoint) {
  const std::vector<Expected> expected = read_expected(CORVANE_EXPECTED_LOWERCASE);
  std::u32string all_in;
  std::u32string all_out;
  std::size_t mismatches = 0;
  for (char32_t c = 0; c < 0x110000; ++c) {
    if (!is_scalar_value(c)) continue;
    const Expected& e = expected[c];
    ASSERT_EQ(is_cased(c), e.cased) << hex(c);
    ASSERT_EQ(is_case_ignorable(c), e.case_ignorable) << hex(c);
    if (c == 0x03A3) continue;  // depends on its neighbours; checked below
    ASSERT_EQ(simple_lowercase(c), c == 0x0130 ? 0x0069 : e.lower[0]) << hex(c);
    const std::string one = utf8_of(c);
    if (lower(one) != utf8(e.lower)) {
      ADD_FAILURE() << "U+" << hex(c);
      if (++mismatches == 20) return;
    }
    all_in += c;
    all_out += e.lower;
  }
  // A lone sigma has no cased letter before it.
  EXPECT_EQ(lower(utf8(U"\u03A3")), utf8(U"\u03C3"));
  // All of them in one text: every path's runs and hand-overs, and the
  // buffer growing after the shrinking mappings.
  EXPECT_EQ(lower(utf8(all_in)), utf8(all_out));
}

}  // namespace
}  // namespace corvane::scoring
