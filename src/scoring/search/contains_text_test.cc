#include "scoring/search/contains_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scoring/arch/cpu_features.h"
#include "scoring/arch/kernel_table.h"
#include "scoring/arch/level_kernels.h"
#include "scoring/search/byte_frequency.h"
#include "scoring/search/prefilter.h"
#include "scoring/search/two_way.h"
#include "scoring/testing/testing.h"

namespace corvane::scoring {
namespace {

// The obviously right searches: every window start, compared in full.
std::size_t naive_find(std::string_view haystack, std::string_view needle, std::size_t from = 0) {
  if (needle.size() > haystack.size()) return TwoWaySearcher::kNpos;
  for (std::size_t j = from; j + needle.size() <= haystack.size(); ++j) {
    if (haystack.substr(j, needle.size()) == needle) return j;
  }
  return TwoWaySearcher::kNpos;
}
bool naive_contains(std::string_view haystack, std::string_view needle) {
  return naive_find(haystack, needle) != TwoWaySearcher::kNpos;
}

// A heap copy of exactly `text.size()` bytes, so that a memory checker sees
// any read past either end.
struct ExactCopy {
  explicit ExactCopy(std::string_view text) : bytes(new char[text.size()]), size(text.size()) {
    std::copy(text.begin(), text.end(), bytes.get());
  }
  std::string_view view() const { return {bytes.get(), size}; }
  std::unique_ptr<char[]> bytes;
  std::size_t size;
};

std::string repeat(std::string_view unit, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

std::string random_text(std::mt19937_64& rng, std::string_view alphabet, std::size_t size) {
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string out(size, '\0');
  for (char& c : out) c = alphabet[pick(rng)];
  return out;
}

struct Case {
  const char* name;
  std::string haystack;
  std::string needle;
  bool expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ContainsTextCase : public testing::TestWithParam<Case> {};

TEST_P(ContainsTextCase, GivesTheExpectedAnswer) {
  const Case& c = GetParam();
  EXPECT_EQ(contains_text(c.haystack, c.needle), c.expected);
  EXPECT_EQ(naive_contains(c.haystack, c.needle), c.expected);  // the table itself
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ContainsTextCase,
    testing::Values(
        Case{"i_with_dot_holds_i", "i\xCC\x87", "i", true},
        Case{"i_lacks_i_with_dot", "i", "i\xCC\x87", false},
        Case{"word_inside_word", "concatenate", "cat", true},
        Case{"precomposed_is_not_decomposed", "caf\xC3\xA9", "cafe\xCC\x81", false},
        Case{"decomposed_is_not_precomposed", "cafe\xCC\x81", "caf\xC3\xA9", false},
        Case{"empty_needle", "anything", "", true},
        Case{"empty_needle_in_empty_haystack", "", "", true},
        Case{"empty_haystack", "", "a", false}, Case{"longer_needle", "cat", "cats", false},
        Case{"equal_length_equal", "same", "same", true},
        Case{"equal_length_different", "same", "sane", false},
        Case{"one_byte_present", "haystack", "y", true},
        Case{"one_byte_absent", "haystack", "z", false},
        Case{"nul_is_ordinary", std::string("a\0b", 3), std::string("\0b", 2), true},
        Case{"two_bytes_at_end", "abcdefghijklmnopqrstuvwxyz", "yz", true},
        Case{"cjk_present", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xE6\x9C\xAC\xE8\xAA\x9E",
             true},
        Case{"cjk_reordered", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xE6\x9C\xAC\xE6\x97\xA5",
             false},
        Case{"emoji", "smile \xF0\x9F\x98\x80 here", "\xF0\x9F\x98\x80 h", true},
        Case{"final_sigma_vs_sigma", "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82", "\xCE\xBF\xCF\x83", false},
        // Needles that defeat a scan for rare bytes, and long runs that
        // would make a naive search quadratic.
        Case{"run_then_b_absent", repeat("a", 5000), repeat("a", 999) + "b", false},
        Case{"run_then_b_at_end", repeat("a", 5000) + "b", repeat("a", 999) + "b", true},
        Case{"run_then_b_too_early", "b" + repeat("a", 5000), repeat("a", 999) + "b", false},
        Case{"periodic_then_c_absent", repeat("ab", 3000), repeat("ab", 500) + "c", false},
        Case{"periodic_then_c_at_end", repeat("ab", 3000) + "c", repeat("ab", 500) + "c", true},
        Case{"periodic_one_short", repeat("ab", 499) + "c", repeat("ab", 500) + "c", false},
        Case{"periodic_needle_exact", repeat("abc", 400), repeat("abc", 300), true},
        Case{"periodic_needle_shifted", repeat("abc", 400), "c" + repeat("abc", 300), true},
        Case{"periodic_needle_broken", repeat("abc", 200) + "x" + repeat("abc", 200),
             repeat("abc", 201), false},
        Case{"common_bytes_then_rare", repeat("eta ", 2000) + "q", repeat("eta ", 20) + "eq",
             false},
        Case{"common_bytes_then_rare_present", repeat("eta ", 2000) + "eq",
             repeat("eta ", 20) + "eq", true},
        Case{"common_bytes_then_rare_found", repeat("eta ", 2000) + "q", repeat("eta ", 20) + "q",
             true},
        Case{"rare_pair_everywhere", repeat("qz", 4000), "qzqzqzqzqzqzqzqzqzqzqq", false},
        Case{"rare_pair_everywhere_found", repeat("qz", 4000) + "qqzz", "qzqzqzqzqzqzqzqzqzqzqq",
             true},
        // Candidates every 12 bytes, each matching 240 bytes before failing.
        Case{"costly_candidates", repeat("qzaaaaaaaaaa", 1000), repeat("qzaaaaaaaaaa", 20) + "b",
             false},
        Case{"costly_candidates_found", repeat("qzaaaaaaaaaa", 1000) + "b",
             repeat("qzaaaaaaaaaa", 20) + "b", true},
        Case{"long_needle_late_mismatch",
             repeat("q" + repeat("a", 150) + "b" + repeat("a", 49) + "z", 40),
             "q" + repeat("a", 200) + "z", false},
        Case{"long_needle_late_match",
             repeat("q" + repeat("a", 150) + "b" + repeat("a", 49) + "z", 40) + "q" +
                 repeat("a", 200) + "z",
             "q" + repeat("a", 200) + "z", true}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// A needle placed at every offset of a filler that does not hold it, across
// every 16- and 32-byte boundary, is found; with its last byte changed to
// one the filler lacks, it is not.
TEST(ContainsText, FindsANeedleAtEveryOffset) {
  const std::vector<std::string> needles = {
      "ab",
      "zq",
      "xyz",
      "cat",
      "need",
      "le\xCC\x81",
      "\xC3\x9F\xC3\x9F",
      "\xE6\x97\xA5\xE6\x9C\xAC",
      "\xF0\x9F\x98\x80!",
      "i\xCC\x87",
      "search",
      "aaaaaaab",
      "rare word",
      "sixteen byte str",
      "a needle of exactly thirty-two b",
      "a needle longer than thirty-two bytes, crossing blocks"};
  const std::vector<std::string> fillers = {"-", ". ", "0123456789", "~+"};
  for (const std::string& needle : needles) {
    for (const std::string& unit : fillers) {
      for (std::size_t size :
           {0, 1, 7, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 127, 128, 129, 200}) {
        const std::string filler = repeat(unit, size / unit.size() + 1).substr(0, size);
        for (std::size_t at = 0; at <= size; ++at) {
          const ExactCopy haystack(filler.substr(0, at) + needle + filler.substr(at));
          ASSERT_TRUE(contains_text(haystack.view(), ExactCopy(needle).view()))
              << needle << " at " << at << " of " << size;
          std::string missing = needle;
          missing.back() = '\x7F';
          ASSERT_FALSE(contains_text(haystack.view(), ExactCopy(missing).view()))
              << needle << " at " << at << " of " << size;
        }
      }
    }
  }
}

// Random haystacks and needles over alphabets of two to four letters, so
// that partial matches and hits are frequent; needles are drawn at random,
// cut from the haystack, or cut and then changed in one byte.
TEST(ContainsText, AgreesWithTheNaiveSearchOnSmallAlphabets) {
  std::mt19937_64 rng(20261208);
  for (std::string_view alphabet : {"ab", "abc", "abcd", "a\xC3\xA9"}) {
    for (int round = 0; round < 3000; ++round) {
      const std::size_t size =
          std::uniform_int_distribution<std::size_t>(0, round % 10 == 0 ? 3000 : 200)(rng);
      const std::string haystack = random_text(rng, alphabet, size);
      const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 40)(rng);
      std::string needle;
      switch (round % 3) {
        case 0:
          needle = random_text(rng, alphabet, length);
          break;
        default:  // 1 and 2
          if (length <= size) {
            const std::size_t at =
                std::uniform_int_distribution<std::size_t>(0, size - length)(rng);
            needle = haystack.substr(at, length);
            if (round % 3 == 2 && length > 0) {
              needle[std::uniform_int_distribution<std::size_t>(0, length - 1)(rng)] = alphabet[0];
            }
          }
          break;
      }
      ASSERT_EQ(contains_text(haystack, needle), naive_contains(haystack, needle))
          << "haystack " << haystack << " needle " << needle;
    }
  }
}

// Haystacks that are powers of a short word with a needle that is a power of
// the same or a related word: the periodic cases of Two-Way, with and
// without the prefilter giving up.
TEST(ContainsText, AgreesWithTheNaiveSearchOnPeriodicText) {
  const std::vector<std::string> units = {"a", "ab", "aab", "abaab", "abcabd", "aaaab"};
  for (const std::string& h : units) {
    for (const std::string& n : units) {
      for (std::size_t reps : {1, 2, 5, 20, 70}) {
        const std::string haystack = repeat(h, 300 / h.size());
        for (const std::string& needle : {repeat(n, reps), repeat(n, reps) + "a",
                                          "b" + repeat(n, reps), repeat(n, reps) + "c"}) {
          ASSERT_EQ(contains_text(haystack, needle), naive_contains(haystack, needle))
              << "haystack " << h << "^k, needle " << needle;
        }
      }
    }
  }
}

// Two-Way gives the first occurrence at or after any start offset.
TEST(TwoWaySearcher, FindsTheFirstOccurrenceFromEveryOffset) {
  std::mt19937_64 rng(7);
  for (std::string_view alphabet : {"ab", "abc"}) {
    for (int round = 0; round < 1500; ++round) {
      const std::string haystack =
          random_text(rng, alphabet, std::uniform_int_distribution<std::size_t>(0, 120)(rng));
      const std::string needle =
          random_text(rng, alphabet, std::uniform_int_distribution<std::size_t>(1, 9)(rng));
      const TwoWaySearcher searcher(needle);
      for (std::size_t from = 0; from <= haystack.size() + 1; ++from) {
        ASSERT_EQ(searcher.find(haystack, from), naive_find(haystack, needle, from))
            << "haystack " << haystack << " needle " << needle << " from " << from;
      }
    }
  }
}

std::size_t period(std::string_view x) {
  for (std::size_t p = 1; p < x.size(); ++p) {
    if (x.substr(p) == x.substr(0, x.size() - p)) return p;
  }
  return x.size();
}

// Smallest r such that a word of length r can sit just left of `at` and just
// right of it at once, agreeing with every byte of the needle it overlaps.
std::size_t local_period(std::string_view x, std::size_t at) {
  for (std::size_t r = 1;; ++r) {
    bool fits = true;
    for (std::size_t t = 0; t < r && fits; ++t) {
      if (at + t >= r && at + t < x.size()) fits = x[at + t - r] == x[at + t];
    }
    if (fits) return r;
  }
}

struct Factorization {
  const char* word;
  std::size_t position;
  std::size_t right_period;
};

class KnownFactorization : public testing::TestWithParam<Factorization> {};

TEST_P(KnownFactorization, SplitsWhereExpected) {
  const CriticalFactorization f = critical_factorization(GetParam().word);
  EXPECT_EQ(f.position, GetParam().position);
  EXPECT_EQ(f.right_period, GetParam().right_period);
}

// Worked out by hand: banana splits as ba.nana (the later of the maximal
// suffixes "nana" and "anana"; nana has period 2); ab and ba split as a.b
// and b.a; a run of one letter splits before its first byte.
INSTANTIATE_TEST_SUITE_P(Words, KnownFactorization,
                         testing::Values(Factorization{"banana", 2, 2}, Factorization{"aaaa", 0, 1},
                                         Factorization{"ab", 1, 1}, Factorization{"ba", 1, 1},
                                         Factorization{"a", 0, 1}));

// For every word over {a, b} up to length 12 and over {a, b, c} up to
// length 7: the split is critical (local period = period), lies before the
// first period, and the reported period is the right factor's.
TEST(CriticalFactorization, IsCriticalForEveryShortWord) {
  for (const auto& [alphabet, longest] :
       {std::pair<std::string_view, std::size_t>{"ab", 12}, {"abc", 7}}) {
    for (std::size_t length = 1; length <= longest; ++length) {
      std::vector<std::size_t> digits(length, 0);
      while (true) {
        std::string word(length, ' ');
        for (std::size_t i = 0; i < length; ++i) word[i] = alphabet[digits[i]];
        const CriticalFactorization f = critical_factorization(word);
        ASSERT_LT(f.position, period(word)) << word;
        ASSERT_EQ(local_period(word, f.position), period(word)) << word;
        ASSERT_EQ(f.right_period, period(std::string_view(word).substr(f.position))) << word;
        std::size_t i = 0;
        while (i < length && ++digits[i] == alphabet.size()) digits[i++] = 0;
        if (i == length) break;
      }
    }
  }
}

// Every implementation of the prefiltered search stops where the byte loop
// does (at the first occurrence, or where it gave up), and none rules out a
// window start holding an occurrence. Small alphabets make it give up
// often; eight letters rarely.
TEST(PrefilteredSearch, VectorSearchesMatchTheByteLoop) {
  std::mt19937_64 rng(99);
  // Each level's widest search that the CPU can run, with the fewest window
  // starts it takes; the portable level's is the byte loop itself.
  PrefilteredSearch* const prefiltered_search_bytewise =
      kernel_table_for(Isa::Portable).prefilters[0].search;
  std::vector<std::pair<PrefilteredSearch*, std::size_t>> searches;
  for (std::size_t level = 1; level <= static_cast<std::size_t>(cpu_features().best); ++level) {
    const KernelTable::Prefilter widest = kernel_table_for(static_cast<Isa>(level)).prefilters[0];
    if (searches.empty() || searches.back().first != widest.search) {
      searches.emplace_back(widest.search, widest.min_window_starts);
    }
  }
#if defined(__x86_64__)
  // The 64-byte search, which a CPU that halves such vectors leaves out of
  // its tables.
  if (cpu_features().has(Isa::Avx512Bw) && cpu_features().halves_512) {
    searches.emplace_back(avx512bw::kPrefilteredSearch, 64);
  }
#endif
  for (int round = 0; round < 3000; ++round) {
    const std::string_view alphabet = round % 3 == 0 ? "ab" : round % 3 == 1 ? "abc" : "abcdefgh";
    const std::size_t m = std::uniform_int_distribution<std::size_t>(2, 24)(rng);
    const std::size_t size = m + std::uniform_int_distribution<std::size_t>(31, 600)(rng);
    const ExactCopy haystack(random_text(rng, alphabet, size));
    const ExactCopy needle(round % 2 == 0
                               ? random_text(rng, alphabet, m)
                               : std::string(haystack.view().substr(
                                     static_cast<std::size_t>(round) % (size - m + 1), m)));
    std::uniform_int_distribution<std::size_t> offset(0, m - 1);
    RareBytes rare{offset(rng), offset(rng), offset(rng), 0, 0, 0};
    if (rare.offset1 == rare.offset2) rare.offset2 = (rare.offset1 + 1) % m;
    const auto* x = reinterpret_cast<const unsigned char*>(needle.view().data());
    rare.byte1 = x[rare.offset1];
    rare.byte2 = x[rare.offset2];
    rare.byte3 = x[rare.offset3];
    const auto* h = reinterpret_cast<const unsigned char*>(haystack.view().data());
    const std::size_t last = size - m;

    const PrefilterResult expected = prefiltered_search_bytewise(h, last, x, m, rare);
    const std::size_t first = naive_find(haystack.view(), needle.view());
    if (expected.found) {
      ASSERT_EQ(expected.resume, first) << round;
    } else {
      ASSERT_TRUE(first == TwoWaySearcher::kNpos ||
                  (expected.resume <= last && first >= expected.resume))
          << round;
    }
    for (const auto& [search, starts] : searches) {
      if (last + 1 < starts) continue;
      const PrefilterResult got = search(h, last, x, m, rare);
      ASSERT_EQ(got.found, expected.found) << round;
      ASSERT_EQ(got.resume, expected.resume) << round;
    }
  }
}

TEST(RareBytes, PicksTheRarestBytesAtDifferentOffsets) {
  const RareBytes p = choose_rare_bytes("the quiz");
  EXPECT_EQ(p.byte1, 'q');
  EXPECT_EQ(p.byte2, 'z');
  EXPECT_EQ(p.byte3, 'u');
  const RareBytes periodic = choose_rare_bytes("bababac");
  EXPECT_EQ(periodic.byte1, 'b');
  EXPECT_EQ(periodic.byte2, 'c');
  EXPECT_EQ(periodic.byte3, 'a');
  const RareBytes same = choose_rare_bytes("eeee");
  EXPECT_NE(same.offset1, same.offset2);
  EXPECT_NE(same.offset3, same.offset1);
  EXPECT_NE(same.offset3, same.offset2);
  EXPECT_EQ(same.byte1, 'e');
  const RareBytes two = choose_rare_bytes("ab");
  EXPECT_EQ(two.offset3, two.offset1);
}

// The one-pass choice equals the plain definition: the first offset of the
// lowest rank, then the earliest offset with the lowest (repeat, rank) key,
// then the same among the offsets left, a repeat of either value counting
// as one.
TEST(RareBytes, MatchesTheDefinitionOnRandomNeedles) {
  std::mt19937_64 rng(3);
  for (std::string_view alphabet : {"ab", "eta q", "abcdefghijklmnopqrstuvwxyz \xC3\xA9\xD0\xB1"}) {
    for (int round = 0; round < 2000; ++round) {
      const std::string needle =
          random_text(rng, alphabet, std::uniform_int_distribution<std::size_t>(2, 20)(rng));
      const auto rank = [&](std::size_t i) {
        return kByteFrequencyRank[static_cast<unsigned char>(needle[i])];
      };
      std::size_t first = 0;
      for (std::size_t i = 0; i < needle.size(); ++i) {
        if (rank(i) < rank(first)) first = i;
      }
      std::size_t second = first == 0 ? 1 : 0;
      const auto key = [&](std::size_t i) {
        return std::pair(needle[i] == needle[first], rank(i));
      };
      for (std::size_t i = 0; i < needle.size(); ++i) {
        if (i != first && key(i) < key(second)) second = i;
      }
      std::size_t third = first;
      const auto third_key = [&](std::size_t i) {
        return std::pair(needle[i] == needle[first] || needle[i] == needle[second], rank(i));
      };
      for (std::size_t i = 0; i < needle.size(); ++i) {
        if (i == first || i == second) continue;
        if (third == first || third_key(i) < third_key(third)) third = i;
      }
      const RareBytes got = choose_rare_bytes(needle);
      ASSERT_EQ(got.offset1, first) << needle;
      ASSERT_EQ(got.offset2, second) << needle;
      ASSERT_EQ(got.offset3, third) << needle;
      ASSERT_EQ(got.byte1, static_cast<unsigned char>(needle[first]));
      ASSERT_EQ(got.byte2, static_cast<unsigned char>(needle[second]));
      ASSERT_EQ(got.byte3, static_cast<unsigned char>(needle[third]));
    }
  }
}

TEST(ByteFrequencyRank, IsAnOrderOfAllByteValues) {
  std::vector<bool> seen(256, false);
  for (std::uint8_t rank : kByteFrequencyRank) seen[rank] = true;
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 256);
}

}  // namespace
}  // namespace corvane::scoring
