#include "scoring/lexical_score.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "base/small_buffer.h"
#include "scoring/search/contains_text.h"
#include "scoring/short_input_score.h"
#include "scoring/unicode/piece_boundary.h"
#include "scoring/unicode/to_lower_full.h"
#include "scoring/white_space.h"

namespace corvane::scoring {
namespace {

// The text is lowercased a piece at a time into one buffer small enough to
// stay in the processor's cache while every word still missing is searched
// in it, so the lowercased text never exists whole: memory stays flat and a
// large text is read from main memory once rather than once per word.
// Pieces end only where `next_piece_boundary` allows, so their lowercasing
// equals that of the whole text, and each piece is searched together with
// the last (longest word - 1) lowercased bytes before it, so an occurrence
// that straddles two pieces is found as well.
constexpr std::size_t kPieceBytes = 32 * 1024;
// A text with no place to cut near the end of a piece (a long run of
// apostrophes or combining marks, say) is taken whole from there on rather
// than searched for one.
constexpr std::size_t kBoundarySearchBytes = 1024;

// The hit ratio of a query with words, piece by piece, for inputs that the
// short path has left over.
float piecewise_hit_ratio(std::string_view text, std::string_view query) {
  // Each word is lowercased once, by itself, into one pool.
  std::size_t count = 0;
  for_each_word(query, [&](std::string_view) { ++count; });
  if (count == 0) return 0.0f;

  // Each lowercased word is prepared for searching once, not per piece.
  SmallBuffer<Needle, 16> words;
  words.grow(count);
  SmallBuffer<char, 256> pool;
  // Per word at most lowered_size_bound(length) bytes; summed over words.
  // The pool does not move once filled: the needles view it.
  pool.grow(query.size() + query.size() / 2 + 4 * count);
  std::size_t used = 0;
  std::size_t longest = 0;
  std::size_t index = 0;
  for_each_word(query, [&](std::string_view word) {
    const std::size_t length = to_lower_full_into(word, pool.data() + used);
    std::construct_at(words.data() + index++, std::string_view(pool.data() + used, length));
    used += length;
    if (length > longest) longest = length;
  });

  // Words still missing sit in words[0, missing); a found one swaps out.
  std::size_t missing = count;
  std::uint64_t hits = 0;
  const auto search = [&](std::string_view lowered) {
    for (std::size_t k = 0; k < missing;) {
      if (words.data()[k].found_in(lowered)) {
        ++hits;
        words.data()[k] = words.data()[--missing];
      } else {
        ++k;
      }
    }
  };

  const std::size_t overlap = longest - 1;
  // Pieces at least twice the overlap keep the re-read bytes a fraction of
  // the text, so the whole search stays linear for any word length.
  const std::size_t piece = kPieceBytes > 2 * overlap ? kPieceBytes : 2 * overlap;
  SmallBuffer<char, 512> buffer;
  // Room for the usual piece and its overlap, made once.
  buffer.grow(overlap + lowered_size_bound(piece + kBoundarySearchBytes) + 4);
  std::size_t filled = 0;
  std::size_t at = 0;
  while (at < text.size() && missing != 0) {
    const std::size_t end = text.size() - at <= piece
                                ? text.size()
                                : next_piece_boundary(text, at + piece, kBoundarySearchBytes);
    const std::size_t kept = filled < overlap ? filled : overlap;
    if (kept != 0) std::memmove(buffer.data(), buffer.data() + filled - kept, kept);
    char* out = buffer.grow(kept + lowered_size_bound(end - at), kept);
    filled = kept + to_lower_full_into(text.substr(at, end - at), out + kept);
    search(std::string_view(buffer.data(), filled));
    at = end;
  }

  return hit_ratio(hits, count);
}

}  // namespace

std::expected<float, ScoreError> compute_lexical_score_in_general(std::string_view text,
                                                                  std::string_view query) {
  if (trim_white_space(query).empty()) {
    return std::unexpected(ScoreError::invalid_input("query cannot be empty"));
  }
  return piecewise_hit_ratio(text, query);
}

}  // namespace corvane::scoring
