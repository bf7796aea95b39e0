// Differential fuzzing of the lexical score against the plain model of
// reference_score.h.
//
// Input: the text's bytes, the byte 0xFF, the query's bytes (0xFF never
// occurs in UTF-8, so it is free to separate them); without a 0xFF the whole
// input serves as both text and query. Each side is read leniently as UTF-8
// (`decode_lenient`), so every input gives two well-formed texts. Checked
// against the model: the score bit for bit, or the refusal with its display
// text; the lowercased form of both texts; the query's words and its trimmed
// form; that a score lies in [0, 1]; that the text and query held as code
// points of every width that fits them score as their UTF-8 forms do; and
// each vector lowercase loop that the CPU supports, called directly, against
// the model's lowercase form.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "mismatch_report.h"
#include "reference_score.h"
#include "scoring/arch/kernel_table.h"
#include "scoring/lexical_score.h"
#include "scoring/lowercase/to_lower_full.h"
#include "scoring/testing/levels.h"
#include "scoring/testing/testing.h"
#include "scoring/transcode/fixed_width_text.h"
#include "scoring/unicode/white_space.h"

namespace corvane::fuzz {
namespace {

CodePoints check_lowercase(std::string_view label, std::string_view utf8,
                           const CodePoints& code_points) {
  const Text got = scoring::to_lower_full(utf8);
  CodePoints lowered = reference::to_lower(code_points);
  const Text want = encode_utf8(lowered);
  if (got != want) report_mismatch(label, {{"input", utf8}, {"core", got}, {"reference", want}});
  return lowered;
}

std::size_t utf8_length(char32_t cp) {
  return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

// The vector lowercase loops of every level the CPU has, called directly
// (the converter uses only one level's), from code point `first`
// of the text: each converts a prefix of the rest that ends on a code point
// boundary, into exactly the model's lowercase form of those code points,
// sigmas judged within the whole text.
void check_lower_runs(std::string_view text, const CodePoints& code_points,
                      const CodePoints& lowered, std::size_t first) {
  std::size_t from = 0;
  std::size_t lowered_first = first;  // U+0130 lowercases to two code points
  for (std::size_t i = 0; i < first; ++i) {
    from += utf8_length(code_points[i]);
    if (code_points[i] == 0x0130) ++lowered_first;
  }
  const std::size_t rest = text.size() - from;
  const auto expect = [&](std::string_view run, std::size_t converted, const Text& out) {
    std::size_t count = 0;
    std::size_t bytes = 0;
    while (bytes < converted && first + count < code_points.size()) {
      bytes += utf8_length(code_points[first + count++]);
    }
    const std::size_t start = std::min(lowered.size(), lowered_first);
    const std::size_t end = std::min(lowered.size(), start + count);
    const Text want = encode_utf8(CodePoints(lowered.begin() + static_cast<std::ptrdiff_t>(start),
                                             lowered.begin() + static_cast<std::ptrdiff_t>(end)));
    if (bytes != converted || out.compare(0, converted, want) != 0) {
      report_mismatch(run, {{"text from the start of the run", text.substr(from)},
                            {"converted", std::string_view(out).substr(0, converted)},
                            {"reference", want}});
    }
  };
  Text out(rest, '\0');
  static const auto ascii_runs = scoring::each_kernel(&scoring::KernelTable::lower_ascii_run);
  static const auto two_byte_runs = scoring::each_kernel(&scoring::KernelTable::lower_two_byte_run);
  static const auto long_runs = scoring::each_kernel(&scoring::KernelTable::lower_long_run);
  std::size_t prefix = 0;
  while (prefix < rest && static_cast<unsigned char>(text[from + prefix]) < 0x80) ++prefix;
  for (const auto& run : ascii_runs) {
    const std::size_t ascii = run.kernel(text.data() + from, rest, out.data());
    if (ascii != prefix)
      report_mismatch("lower_ascii_run: prefix length", {{"level", run.level}, {"text", text}});
    expect(std::string("lower_ascii_run/").append(run.level), ascii, out);
  }
  for (const auto& run : two_byte_runs) {
    expect(std::string("lower_two_byte_run/").append(run.level), run.kernel(text, from, out.data()),
           out);
  }
  for (const auto& run : long_runs) {
    expect(std::string("lower_long_run/").append(run.level), run.kernel(text, from, out.data()),
           out);
  }
}

void check_words(std::string_view query, const CodePoints& code_points) {
  Vector<std::string_view> got;
  scoring::split_words(query, got);
  const Vector<CodePoints> want = reference::split_words(code_points);
  if (got.size() != want.size()) {
    report_mismatch("split_words: number of words", {{"query", query}});
  }
  for (std::size_t i = 0; i < got.size(); ++i) {
    const Text expected = encode_utf8(want[i]);
    if (got[i] != expected) {
      report_mismatch("split_words", {{"query", query}, {"core", got[i]}, {"reference", expected}});
    }
  }

  // Trimmed: from the first code point that is not white space to the last.
  std::size_t first = 0;
  std::size_t end = code_points.size();
  while (first < end && reference::is_white_space(code_points[first])) ++first;
  while (end > first && reference::is_white_space(code_points[end - 1])) --end;
  const Text trimmed =
      encode_utf8(CodePoints(code_points.begin() + static_cast<std::ptrdiff_t>(first),
                             code_points.begin() + static_cast<std::ptrdiff_t>(end)));
  const std::string_view got_trimmed = scoring::trim_white_space(query);
  if (got_trimmed != trimmed) {
    report_mismatch("trim_white_space",
                    {{"query", query}, {"core", got_trimmed}, {"reference", trimmed}});
  }
}

void check_score(std::string_view text, const CodePoints& text_code_points, std::string_view query,
                 const CodePoints& query_code_points) {
  const auto got = scoring::compute_lexical_score(text, query);
  const auto want = reference::lexical_score(text_code_points, query_code_points);
  if (got.has_value() != want.has_value()) {
    report_mismatch(got.has_value() ? "score given where the query must be refused"
                                    : "query refused although it has words",
                    {{"text", text}, {"query", query}});
  }
  if (!want) {
    const Text shown = scoring::display(got.error());
    if (got.error().kind != scoring::ScoreError::Kind::InvalidInput ||
        shown != "invalid input: query cannot be empty") {
      report_mismatch("refusal", {{"query", query}, {"display", shown}});
    }
    // Called directly, the ratio of a query without words is +0.0.
    if (std::bit_cast<std::uint32_t>(scoring::word_hit_ratio(text, query)) != 0) {
      report_mismatch("word_hit_ratio of a query without words",
                      {{"text", text}, {"query", query}});
    }
    return;
  }
  const float score = *got;
  if (std::bit_cast<std::uint32_t>(score) != std::bit_cast<std::uint32_t>(*want) ||
      !(score >= 0.0f && score <= 1.0f)) {
    report_mismatch("score", {{"text", text}, {"query", query}});
  }

  // The same text and query held as fixed-width code points, as the
  // interpreter holds strings, in every width that holds them.
  const auto widest = [](const CodePoints& cps) {
    char32_t most = 0;
    for (const char32_t cp : cps) most = std::max(most, cp);
    return most;
  };
  const char32_t most = std::max(widest(text_code_points), widest(query_code_points));
  const Vector<std::uint8_t> text1(text_code_points.begin(), text_code_points.end());
  const Vector<std::uint8_t> query1(query_code_points.begin(), query_code_points.end());
  const Vector<std::uint16_t> text2(text_code_points.begin(), text_code_points.end());
  const Vector<std::uint16_t> query2(query_code_points.begin(), query_code_points.end());
  const Vector<std::uint32_t> text4(text_code_points.begin(), text_code_points.end());
  const Vector<std::uint32_t> query4(query_code_points.begin(), query_code_points.end());
  for (const std::size_t width : {std::size_t{1}, std::size_t{2}, std::size_t{4}}) {
    if ((width == 1 && most > 0xFF) || (width == 2 && most > 0xFFFF)) continue;
    const void* text_units = width == 1   ? static_cast<const void*>(text1.data())
                             : width == 2 ? static_cast<const void*>(text2.data())
                                          : static_cast<const void*>(text4.data());
    const void* query_units = width == 1   ? static_cast<const void*>(query1.data())
                              : width == 2 ? static_cast<const void*>(query2.data())
                                           : static_cast<const void*>(query4.data());
    const scoring::FixedWidthText text_form{text_units, text_code_points.size(), width};
    const scoring::FixedWidthText query_form{query_units, query_code_points.size(), width};
    const auto held = scoring::compute_lexical_score_any_form(text_form, query_form);
    if (!held || std::bit_cast<std::uint32_t>(*held) != std::bit_cast<std::uint32_t>(score)) {
      report_mismatch(width == 1   ? "score of one-byte code points"
                      : width == 2 ? "score of two-byte code points"
                                   : "score of four-byte code points",
                      {{"text", text}, {"query", query}});
    }
  }
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane::fuzz;
  const std::span<const std::uint8_t> input(data, size);
  const SplitBytes parts = split_at(input, 0xFF);
  const CodePoints text_code_points = decode_lenient(parts.first);
  const CodePoints query_code_points =
      parts.separated ? decode_lenient(parts.second) : text_code_points;
  const corvane::Text text = encode_utf8(text_code_points);
  const corvane::Text query = encode_utf8(query_code_points);

  const CodePoints lowered_text =
      check_lowercase("to_lower_full of the text", text, text_code_points);
  check_lowercase("to_lower_full of the query", query, query_code_points);
  // From the start, and from the middle code point.
  check_lower_runs(text, text_code_points, lowered_text, 0);
  check_lower_runs(text, text_code_points, lowered_text, text_code_points.size() / 2);
  check_words(query, query_code_points);
  check_score(text, text_code_points, query, query_code_points);
  return 0;
}
