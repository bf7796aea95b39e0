#include "reference_score.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "scoring/testing/testing.h"
#include "scoring/unicode/case_tables.h"

namespace corvane::fuzz::reference {
namespace {

constexpr std::array<char32_t, 25> kWhiteSpaceCodePoints = {
    0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x0020, 0x0085, 0x00A0, 0x1680,
    0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
    0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000,
};

constexpr char32_t kCapitalIWithDot = 0x0130;
constexpr char32_t kCapitalSigma = 0x03A3;
constexpr char32_t kSmallSigma = 0x03C3;
constexpr char32_t kFinalSigma = 0x03C2;

// The Final_Sigma condition for the sigma at `at`: a cased letter before it
// and none after it, both found by passing over case-ignorable code points.
bool ends_a_word(const CodePoints& text, std::size_t at) {
  std::size_t before = at;
  while (true) {
    if (before == 0) return false;
    --before;
    if (!scoring::is_case_ignorable(text[before])) break;
  }
  if (!scoring::is_cased(text[before])) return false;
  for (std::size_t after = at + 1; after < text.size(); ++after) {
    if (!scoring::is_case_ignorable(text[after])) return !scoring::is_cased(text[after]);
  }
  return true;
}

template <class Sequence>
std::optional<std::size_t> first_occurrence(const Sequence& haystack, const Sequence& needle,
                                            std::size_t from) {
  for (std::size_t start = from; start + needle.size() <= haystack.size(); ++start) {
    std::size_t k = 0;
    while (k < needle.size() && haystack[start + k] == needle[k]) ++k;
    if (k == needle.size()) return start;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::size_t> find(const CodePoints& haystack, const CodePoints& needle,
                                std::size_t from) {
  return first_occurrence(haystack, needle, from);
}

std::optional<std::size_t> find(std::string_view haystack, std::string_view needle,
                                std::size_t from) {
  return first_occurrence(haystack, needle, from);
}

bool is_white_space(char32_t cp) {
  return std::find(kWhiteSpaceCodePoints.begin(), kWhiteSpaceCodePoints.end(), cp) !=
         kWhiteSpaceCodePoints.end();
}

Vector<CodePoints> split_words(const CodePoints& text) {
  Vector<CodePoints> words;
  CodePoints word;
  for (const char32_t cp : text) {
    if (is_white_space(cp)) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(cp);
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

CodePoints to_lower(const CodePoints& text) {
  CodePoints out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t cp = text[i];
    if (cp == kCapitalIWithDot) {
      out.push_back(0x0069);
      out.push_back(0x0307);
    } else if (cp == kCapitalSigma) {
      out.push_back(ends_a_word(text, i) ? kFinalSigma : kSmallSigma);
    } else {
      out.push_back(scoring::simple_lowercase(cp));
    }
  }
  return out;
}

std::optional<float> lexical_score(const CodePoints& text, const CodePoints& query) {
  const Vector<CodePoints> words = split_words(query);
  if (words.empty()) return std::nullopt;
  const CodePoints lowered_text = to_lower(text);
  std::uint64_t hits = 0;
  for (const CodePoints& word : words) {
    if (find(lowered_text, to_lower(word))) ++hits;
  }
  return static_cast<float>(hits) / static_cast<float>(words.size());
}

}  // namespace corvane::fuzz::reference
