// Differential fuzzing of substring containment against a naive search, on
// inputs shaped to be periodic and adversarial.
//
// Input, first byte: the form. When it is a multiple of 4 the rest is
// literal: the haystack's bytes, 0xFF, the needle's bytes, each read
// leniently as UTF-8. Otherwise the next bytes build both strings from a
// small alphabet (one of eight sets of four code points, of which the first
// one to four are used): the haystack repeats a pattern of 1 to 16 symbols
// up to 1535 symbols long, with up to three symbols changed; the needle is
// a slice of the haystack, such a slice with one symbol changed, a periodic
// string of its own, or the haystack's beginning repeated with its last
// symbol replaced (the "a...ab" needles that defeat naive searching). The
// alphabets share UTF-8 lead and continuation bytes, hold the commonest
// bytes of text (which the rare-byte prefilter ranks worst) and the
// extremes U+0000 and U+10FFFF.
//
// Checked: `contains_text` against a naive search over code points; the
// Two-Way searcher's first match at or after an offset against a naive byte
// search; the rare bytes; and every prefiltered search (portable, SSE2,
// AVX2, AVX-512) against the others and against the naive search.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "mismatch_report.h"
#include "reference_score.h"
#include "scoring/arch/cpu_features.h"
#include "scoring/arch/kernel_table.h"
#include "scoring/search/contains_text.h"
#include "scoring/search/prefilter.h"
#include "scoring/search/two_way.h"
#include "scoring/testing/testing.h"

namespace corvane::fuzz {
namespace {

constexpr std::size_t kAlphabetSize = 4;
constexpr char32_t kAlphabets[8][kAlphabetSize] = {
    {'a', 'b', 'c', 'd'},
    {'e', ' ', 't', 'a'},           // the commonest bytes of running text
    {0x00E9, 0x00E8, 'a', 0x00C3},  // C3 A9, C3 A8, 61, C3 83
    {0x20AC, 0x2082, 0x00AC, 'x'},  // E2 82 AC, E2 82 82, C2 AC, 78
    {0x1D11E, 0x1D11F, 0x0000, 0x10FFFF},
    {'q', 'z', 0x7F, 0x01},
    {0x03A3, 0x03C3, 0x03C2, 0x03B1},  // CE A3, CF 83, CF 82, CE B1
    {'0', '1', '\n', 0x0130},
};

struct Alphabet {
  const char32_t* symbols;
  std::size_t used;  // symbols drawn for patterns: the first `used`
};

CodePoints periodic(ByteReader& input, const Alphabet& alphabet, std::size_t length) {
  const std::size_t period = 1 + input.next() % 16;
  CodePoints pattern;
  for (std::size_t i = 0; i < period; ++i)
    pattern.push_back(alphabet.symbols[input.next() % alphabet.used]);
  CodePoints out;
  for (std::size_t i = 0; i < length; ++i) out.push_back(pattern[i % period]);
  return out;
}

struct Strings {
  CodePoints haystack;
  CodePoints needle;
};

Strings generate(ByteReader& input) {
  const std::uint8_t choice = input.next();
  const Alphabet alphabet{kAlphabets[choice % 8], 1 + (choice >> 3) % kAlphabetSize};
  const auto any_symbol = [&] { return alphabet.symbols[input.next() % kAlphabetSize]; };

  Strings out;
  const std::size_t length = input.below(1536);
  out.haystack = periodic(input, alphabet, length);
  for (std::size_t edits = input.next() % 4; edits > 0 && length > 0; --edits) {
    const std::size_t at = input.below(length);
    out.haystack[at] = any_symbol();
  }

  const auto slice = [&] {
    const std::size_t start = input.below(length + 1);
    const std::size_t size = input.below(length - start + 1);
    return CodePoints(out.haystack.begin() + static_cast<std::ptrdiff_t>(start),
                      out.haystack.begin() + static_cast<std::ptrdiff_t>(start + size));
  };
  switch (input.next() % 4) {
    case 0:
      out.needle = slice();
      break;
    case 1:
      out.needle = slice();
      if (!out.needle.empty()) {
        const std::size_t at = input.below(out.needle.size());
        out.needle[at] = any_symbol();
      }
      break;
    case 2: {
      const std::size_t size = input.below(512);
      out.needle = periodic(input, alphabet, size);
      break;
    }
    default: {
      // The haystack's beginning, repeated as far as wanted, with its last
      // symbol replaced (often by a different one).
      const std::size_t size = input.below(2 * length + 2);
      for (std::size_t i = 0; i < size && length > 0; ++i)
        out.needle.push_back(out.haystack[i % length]);
      if (!out.needle.empty()) out.needle.back() = any_symbol();
      break;
    }
  }
  return out;
}

void check_two_way(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (needle.empty()) return;
  const scoring::TwoWaySearcher searcher(needle);
  const std::size_t got = searcher.find(haystack, from);
  const std::optional<std::size_t> want = reference::find(haystack, needle, from);
  if (got != want.value_or(scoring::TwoWaySearcher::kNpos)) {
    report_mismatch("TwoWaySearcher::find", {{"haystack", haystack}, {"needle", needle}});
  }
}

// Every prefiltered search gives the same verdict and resume point, and
// both are true to the text: a found needle occurs, and no occurrence
// starts before the resume point of a search that found none.
void check_prefiltered_searches(std::string_view haystack, std::string_view needle) {
  const std::size_t m = needle.size();
  if (m < 2 || m >= haystack.size()) return;
  const scoring::RareBytes rare = scoring::choose_rare_bytes(needle);
  const bool one_value = needle.find_first_not_of(needle[0]) == std::string_view::npos;
  const bool third_apart = m == 2 ? rare.offset3 == rare.offset1
                                  : rare.offset3 != rare.offset1 && rare.offset3 != rare.offset2;
  if (rare.offset1 == rare.offset2 || rare.offset1 >= m || rare.offset2 >= m || rare.offset3 >= m ||
      !third_apart || rare.byte1 != static_cast<unsigned char>(needle[rare.offset1]) ||
      rare.byte2 != static_cast<unsigned char>(needle[rare.offset2]) ||
      rare.byte3 != static_cast<unsigned char>(needle[rare.offset3]) ||
      (rare.byte1 == rare.byte2) != one_value) {
    report_mismatch("choose_rare_bytes", {{"needle", needle}});
  }
  const auto* h = reinterpret_cast<const unsigned char*>(haystack.data());
  const auto* x = reinterpret_cast<const unsigned char*>(needle.data());
  const std::size_t last = haystack.size() - m;
  const std::optional<std::size_t> first = reference::find(haystack, needle);
  const scoring::PrefilterResult want =
      scoring::kernel_table_for(scoring::Isa::Portable).prefilters[0].search(h, last, x, m, rare);
  if (want.found ? !first : (want.resume > last + 1 || (first && *first < want.resume))) {
    report_mismatch("prefiltered_search_bytewise", {{"haystack", haystack}, {"needle", needle}});
  }
  const auto expect = [&](std::string_view search, scoring::PrefilterResult got) {
    if (got.found != want.found || (!got.found && got.resume != want.resume)) {
      report_mismatch(search, {{"haystack", haystack}, {"needle", needle}});
    }
  };
  expect("prefiltered_search_for", scoring::prefiltered_search_for(last + 1)(h, last, x, m, rare));
  // Each level's searches that the CPU can run, where the haystack is wide
  // enough for them.
  for (std::size_t level = 1; level <= static_cast<std::size_t>(scoring::cpu_features().best);
       ++level) {
    const auto isa = static_cast<scoring::Isa>(level);
    for (const auto& kernel : scoring::kernel_table_for(isa).prefilters) {
      if (kernel.search == nullptr || last + 1 < kernel.min_window_starts) continue;
      expect(std::string("prefiltered_search/").append(scoring::isa_name(isa)),
             kernel.search(h, last, x, m, rare));
    }
  }
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane::fuzz;
  ByteReader input(std::span(data, size));
  Strings strings;
  if (input.next() % 4 == 0) {
    const SplitBytes parts = split_at(input.rest(), 0xFF);
    strings = {decode_lenient(parts.first), decode_lenient(parts.second)};
  } else {
    strings = generate(input);
  }
  const corvane::Text haystack = encode_utf8(strings.haystack);
  const corvane::Text needle = encode_utf8(strings.needle);

  const bool got = corvane::scoring::contains_text(haystack, needle);
  const bool want = reference::find(strings.haystack, strings.needle).has_value();
  if (got != want) {
    report_mismatch(
        want ? "contains_text missed an occurrence" : "contains_text found no occurrence",
        {{"haystack", haystack}, {"needle", needle}});
  }
  check_two_way(haystack, needle, input.below(haystack.size() + 1));
  check_prefiltered_searches(haystack, needle);
  return 0;
}
