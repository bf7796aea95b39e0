#include "scoring/word_search.h"

#include <cstring>

#include "base/small_buffer.h"
#include "scoring/unicode/piece_boundary.h"

namespace corvane::scoring {
namespace {

// Pieces end only where `next_piece_boundary` allows, so their lowercasing
// equals that of the whole text.
constexpr std::size_t kPieceBytes = std::size_t{32} * 1024;
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
// cache, and the first one found ends the search (`readable` false).
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

// The words found in the text, piece by piece. `Pieces` says where a piece
// may end, in its own units, and lowercases it into UTF-8.
template <class Pieces>
std::uint64_t find_in_pieces(Pieces& text, const WordSet& set, bool* found) {
  const std::size_t count = set.words.size();
  if (found != nullptr) std::memset(found, 0, count * sizeof(bool));
  if (count == 0) return 0;
  // Words still missing, by index, sit in missing[0, left); a found one
  // swaps out.
  SmallBuffer<std::uint32_t, 64> missing;
  std::uint32_t* order = missing.grow(count);
  for (std::size_t k = 0; k < count; ++k) order[k] = static_cast<std::uint32_t>(k);
  std::size_t left = count;
  std::uint64_t hits = 0;
  const auto search = [&](std::string_view lowered) {
    for (std::size_t k = 0; k < left;) {
      if (set.words[order[k]].found_in(lowered)) {
        ++hits;
        if (found != nullptr) found[order[k]] = true;
        order[k] = order[--left];
      } else {
        ++k;
      }
    }
  };

  const std::size_t overlap = set.longest == 0 ? 0 : set.longest - 1;
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
  while (at < text.size() && left != 0) {
    const std::size_t end = text.size() - at <= piece ? text.size() : text.boundary(at + piece);
    const std::size_t kept = filled < overlap ? filled : overlap;
    if (kept != 0) std::memmove(buffer.data(), buffer.data() + filled - kept, kept);
    char* out = buffer.grow(kept + text.lowered_bound(end - at), kept);
    filled = kept + text.lower(at, end, out + kept);
    if (!text.readable()) break;
    search(std::string_view(buffer.data(), filled));
    at = end;
  }
  return hits;
}

}  // namespace

std::uint64_t find_words(std::string_view text, const WordSet& words, bool* found) {
  Utf8Pieces pieces{text};
  return find_in_pieces(pieces, words, found);
}

std::expected<std::uint64_t, ScoreError> find_words(const FixedWidthText& text,
                                                    const WordSet& words, bool* found) {
  // The UTF-8 form of a piece: on the stack for texts of a thousand or so
  // code points.
  SmallBuffer<char, 4096> scratch;
  FixedWidthPieces pieces{text, scratch};
  const std::uint64_t hits = find_in_pieces(pieces, words, found);
  // What a search that ends early leaves unread is scanned after it.
  if (pieces.surrogate || holds_surrogate(text, pieces.checked, text.length)) {
    return std::unexpected(ScoreError::surrogate_in_text());
  }
  return hits;
}

}  // namespace corvane::scoring
