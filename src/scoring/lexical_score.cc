#include "scoring/lexical_score.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "base/small_buffer.h"
#include "scoring/search/contains_text.h"
#include "scoring/short_input_score.h"
#include "scoring/transcode/fixed_width_text.h"
#include "scoring/unicode/piece_boundary.h"
#include "scoring/lowercase/to_lower_full.h"
#include "scoring/unicode/white_space.h"

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

// Where pieces of a UTF-8 text end, and their lowercasing.
struct Utf8Pieces {
  std::string_view text;

  std::size_t size() const noexcept { return text.size(); }
  std::size_t piece_size() const noexcept { return kPieceBytes; }
  std::size_t boundary(std::size_t from) const noexcept {
    return next_piece_boundary(text, from, kBoundarySearchBytes);
  }
  std::size_t lowered_bound(std::size_t size) const noexcept { return lowered_size_bound(size); }
  std::size_t lower(std::size_t at, std::size_t end, char* out) noexcept {
    return to_lower_full_into(text.substr(at, end - at), out);
  }
  // UTF-8 text is always well formed.
  static constexpr bool readable() noexcept { return true; }
};

// The same for text held as fixed-width code points: Latin-1 lowercases
// straight into UTF-8 and may be cut anywhere; wider text is turned into
// UTF-8 a piece at a time in a scratch buffer and lowercased from there.
// Pieces are sized so that their UTF-8 form is about kPieceBytes at most.
// Wider text may hold a surrogate: each piece is scanned for one just
// before it is converted, while the conversion's reads will find it in
// cache, and the first one found ends the scoring (`readable` false).
// `checked` is where the scanned units end.
struct FixedWidthPieces {
  FixedWidthText text;
  SmallBuffer<char, 4096>& scratch;
  std::size_t checked = 0;
  bool surrogate = false;

  std::size_t size() const noexcept { return text.length; }
  std::size_t piece_size() const noexcept { return kPieceBytes / utf8_bytes_per_unit(text.width); }
  std::size_t boundary(std::size_t from) const noexcept {
    return text.width == 1 ? from : next_piece_boundary(text, from, kBoundarySearchBytes);
  }
  std::size_t lowered_bound(std::size_t units) const noexcept {
    return text.width == 1 ? 2 * units : lowered_size_bound(utf8_size_bound(text.width, units));
  }
  std::size_t lower(std::size_t at, std::size_t end, char* out) noexcept {
    if (text.width == 1) return lower_latin1_into(text, at, end, out);
    checked = end;
    if (holds_surrogate(text, at, end)) {
      surrogate = true;
      return 0;
    }
    char* utf8 = scratch.grow(utf8_size_bound(text.width, end - at));
    const std::size_t size = encode_utf8_into(text, at, end, utf8);
    return to_lower_full_into(std::string_view(utf8, size), out);
  }
  bool readable() const noexcept { return !surrogate; }
};

// The hit ratio of a query with words, piece by piece, for inputs that the
// short path has left over. `Pieces` says where a piece may end, in its own
// units, and lowercases it into UTF-8.
template <class Pieces>
float piecewise_hit_ratio(Pieces& text, std::string_view query) {
  // Each word is lowercased once, by itself, into one pool, and prepared
  // for searching once, not per piece, in one pass over the query.
  SmallBuffer<Needle, 16> words;
  SmallBuffer<char, 256> pool;
  // Per word at most lowered_size_bound(length) bytes; summed over the
  // words, at most 1.5 times the query and 4 bytes for each of at most
  // (size + 1) / 2 words. The pool does not move once filled: the needles
  // view it.
  pool.grow(query.size() + query.size() / 2 + 2 * query.size() + 4);
  std::size_t used = 0;
  std::size_t longest = 0;
  std::size_t count = 0;
  for_each_word(query, [&](std::string_view word) {
    const std::size_t length = to_lower_full_into(word, pool.data() + used);
    std::construct_at(words.grow(count + 1, count) + count,
                      std::string_view(pool.data() + used, length));
    ++count;
    used += length;
    if (length > longest) longest = length;
  });
  if (count == 0) return 0.0f;

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
  // (Every unit gives at least one lowercased byte.)
  const std::size_t piece = text.piece_size() > 2 * overlap ? text.piece_size() : 2 * overlap;
  // Room for the usual piece (or the whole text, when that is shorter) and
  // its overlap, made once: on the stack for texts of a few KiB.
  SmallBuffer<char, 4096> buffer;
  const std::size_t usual = piece + kBoundarySearchBytes;
  buffer.grow(overlap + text.lowered_bound(text.size() < usual ? text.size() : usual) + 4);
  std::size_t filled = 0;
  std::size_t at = 0;
  while (at < text.size() && missing != 0) {
    const std::size_t end = text.size() - at <= piece ? text.size() : text.boundary(at + piece);
    const std::size_t kept = filled < overlap ? filled : overlap;
    if (kept != 0) std::memmove(buffer.data(), buffer.data() + filled - kept, kept);
    char* out = buffer.grow(kept + text.lowered_bound(end - at), kept);
    filled = kept + text.lower(at, end, out + kept);
    if (!text.readable()) break;
    search(std::string_view(buffer.data(), filled));
    at = end;
  }

  return hit_ratio(hits, count);
}

// The query refused when it has no word (without looking at the text),
// else the text scored piece by piece.
template <class Pieces>
std::expected<float, ScoreError> refused_or_scored(Pieces& text, std::string_view query) {
  if (trim_white_space(query).empty()) {
    return std::unexpected(ScoreError::invalid_input("query cannot be empty"));
  }
  return piecewise_hit_ratio(text, query);
}

}  // namespace

std::expected<float, ScoreError> compute_lexical_score_in_general(std::string_view text,
                                                                  std::string_view query) {
  Utf8Pieces pieces{text};
  return refused_or_scored(pieces, query);
}

std::expected<float, ScoreError> compute_lexical_score_any_form(const ScoreText& text,
                                                                const ScoreText& query) {
  // The query as UTF-8: a query is short, so it is converted whole.
  SmallBuffer<char, 256> query_bytes;
  std::string_view query_utf8;
  if (const auto* utf8 = std::get_if<std::string_view>(&query)) {
    query_utf8 = *utf8;
  } else {
    const auto& units = std::get<FixedWidthText>(query);
    char* out = query_bytes.grow(utf8_size_bound(units.width, units.length));
    query_utf8 = std::string_view(out, encode_utf8_into(units, 0, units.length, out));
  }
  if (const auto* utf8 = std::get_if<std::string_view>(&text)) {
    return compute_lexical_score(*utf8, query_utf8);
  }
  const auto& units = std::get<FixedWidthText>(text);
  // A surrogate in the text is found before the query is refused and before
  // any score is given: a short text, or one with a query to refuse, is
  // scanned whole first; a longer one piece by piece as it is scored, and
  // what a score that ends early leaves unread, after it.
  if (units.length <= kShortInputBytes || trim_white_space(query_utf8).empty()) {
    if (holds_surrogate(units)) return std::unexpected(ScoreError::surrogate_in_text());
  }
  // A short text is converted whole, so that the short path can take it.
  if (units.length <= kShortInputBytes) {
    char bytes[utf8_size_bound(4, kShortInputBytes)];
    return compute_lexical_score(
        std::string_view(bytes, encode_utf8_into(units, 0, units.length, bytes)), query_utf8);
  }
  // The UTF-8 form of a piece: on the stack for texts of a thousand or so
  // code points.
  SmallBuffer<char, 4096> scratch;
  FixedWidthPieces pieces{units, scratch};
  const auto scored = refused_or_scored(pieces, query_utf8);
  if (pieces.surrogate || holds_surrogate(units, pieces.checked, units.length)) {
    return std::unexpected(ScoreError::surrogate_in_text());
  }
  return scored;
}

}  // namespace corvane::scoring
