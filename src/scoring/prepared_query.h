// A query prepared once for scoring many texts.
//
// Contract: `PreparedQuery::make(query)` takes a query as UTF-8 and gives
// its words (maximal runs of non-white-space code points), each lowercased
// by itself and prepared for searching, or `ScoreError::invalid_input`
// "query cannot be empty" when it has none, as `compute_lexical_score`
// refuses it. `score(text)` equals `compute_lexical_score_any_form(text,
// query)` for every text, UTF-8 or fixed-width, a text holding a surrogate
// included (`ScoreError::surrogate_in_text()`). `match(text, found)` takes
// `found` of `word_count()` flags and sets found[k] exactly when word k (in
// query order, repeats counted) occurs in the lowercased text, with the
// same error. `score_each(texts, scores)` puts each text's score in
// scores[k] up to the first text holding a surrogate and gives that text's
// index (texts.size() when none holds one); the scores from there on are
// left as they were. A prepared query does not change after `make`: any number of
// threads may score with one at once. Scoring allocates nothing for texts
// of a few KiB and a bounded scratch for longer ones; it keeps nothing.
// Complexity: `make` O(len(query)); `score` and `match` as
// `compute_lexical_score` less the query's preparation.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <span>
#include <string_view>

#include "base/allocation.h"
#include "scoring/arch/kernel_types.h"
#include "scoring/lexical_score.h"
#include "scoring/score_error.h"
#include "scoring/search/contains_text.h"
#include "scoring/units_search.h"
#include "scoring/word_search.h"

namespace corvane::scoring {

class PreparedQuery {
 public:
  static std::expected<PreparedQuery, ScoreError> make(std::string_view query);

  std::size_t word_count() const noexcept { return needles_.size(); }
  std::expected<float, ScoreError> score(const ScoreText& text) const;
  // A batch's form: a run of texts at once. Where the CPU wants it
  // (kPrefetchNextText, scoring/arch/prefetch.h), it asks for the bytes of the next
  // text, up to kBytesAhead, while it scores one.
  std::size_t score_each(std::span<const ScoreText> texts, float* scores) const noexcept;
  std::expected<std::uint64_t, ScoreError> match(const ScoreText& text,
                                                 std::span<bool> found) const;

 private:
  PreparedQuery() = default;
  WordSet words() const noexcept { return {needles_, longest_}; }
  // What the scorers below give for no score: from a short path, that it
  // does not serve; from the rest, that the text holds a surrogate. A
  // plain float, not an optional one: the loop of a run tests it in a
  // register, where GCC built the optional on the stack and read it back
  // whole, a failed store forwarding on every text (a fifth of a Greek
  // title's time).
  static constexpr float kNoScore = -1.0f;
  // How much of the next text `score_each` asks for, where it asks.
  static constexpr std::size_t kBytesAhead = 4096;
  // `score` without an error for a text holding a surrogate, which builds
  // none for every text of a run.
  float score_if_readable(const ScoreText& text) const noexcept;
  float score_utf8(std::string_view text) const noexcept;
  float score_units(const FixedWidthText& units) const noexcept;
  float short_utf8(std::string_view text) const noexcept;
  float short_units(const FixedWidthText& units) const noexcept;
  // Both forms past their short paths.
  float search_utf8(std::string_view text) const noexcept;
  float search_units(const FixedWidthText& units) const noexcept;

  // The lowercased words, one after another; the needles view them (a
  // vector's bytes stay put when it moves).
  Vector<char> lowered_;
  Vector<Needle> needles_;
  // The same words as plain views, for the short path, and as code
  // points, for the short path of fixed-width text.
  Vector<std::string_view> lowered_words_;
  Vector<char32_t> code_points_;
  Vector<std::u32string_view> code_point_words_;
  // The same words anchored for fixed-width text searched as it is; empty
  // when a word has no anchor.
  Vector<UnitWord> unit_words_;
  // Whether a short text of code points is searched by those anchors too:
  // where the level has the kernels and every anchor is beyond ASCII. ASCII anchors meet the
  // letters of most texts, and each start they leave is checked a code point at a time, which costs
  // more than lowercasing a short text in registers.
  bool short_by_anchors_ = false;
  // Whether every word is ASCII, which lets the short path of fixed-width
  // text read one plane of it.
  bool ascii_words_ = false;
  std::size_t longest_ = 0;
  // The short scorers of the level the process runs at, looked up once;
  // null where the level has none.
  ShortInputPreparedHits* short_input_ = nullptr;
  ShortUnitsHits* short_units_ = nullptr;
  KeepShortLowBytes* keep_short_low_bytes_ = nullptr;
  ShortPairStarts* short_pair_starts_ = nullptr;
};

}  // namespace corvane::scoring
