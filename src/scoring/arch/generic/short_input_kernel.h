// The short-input scorer, written once for every vector width.
//
// Contract: `short_input_hits_with<V>(text, query, lower_word)` does what
// scoring/short_input_score.h promises for `short_input_hits`, lowercasing
// by the full conversion with `lower_word`;
// `short_input_prepared_hits_with<V>(text, words, lower_word)` does the
// same for a query given as its words, lowercased already (of any length). An argument of at
// most kShortInputBytes is read into (at most kShortInputBytes / V::kWidth)
// registers without touching a byte past its end, and lowercased there when
// it is ASCII (by `lower_word` through a stack buffer otherwise). Each
// word is then matched against every window of the text at once: bit j of
// the mask "text[j] equals the word's first byte and text[j + m - 1] its
// last" marks the few starts where it may occur, which are compared in
// full (a word of one or two bytes needs no compare: the mask is exact).
// The code is made once
// for each number of text registers, so that every loop over them unrolls.
// `V` is a `PartialLoadByteVector` (scoring/arch/byte_vector.h) whose
// comparisons give vectors. Only per-architecture files include this header, after
// switching on their instruction set; everything has internal linkage.
// Complexity: O(len(text) / width * (bytes of the words) + len(query)),
// both lengths bounded by kShortInputBytes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>

#include "scoring/arch/byte_vector.h"
#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/kernel_types.h"
#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/white_space.h"

namespace corvane::scoring {
namespace {

template <PartialLoadByteVector V>
struct ShortInput {
  static constexpr std::size_t kWidth = V::kWidth;
  static constexpr std::size_t kMaxBlocks = kShortInputBytes / kWidth;
  static_assert(kShortInputBytes % kWidth == 0 && kShortInputBytes <= 64);
  // Room for an argument lowercased by the full rules.
  static constexpr std::size_t kBufferBytes =
      (lowered_size_bound(kShortInputBytes) + kWidth) / kWidth * kWidth;
  using Vec = typename V::Vector;

  static std::uint64_t low_bits(std::size_t count) noexcept {
    return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
  }

  // Calls f(std::integral_constant<size_t, N>) for the N registers that
  // `size` bytes need (at least one).
  template <std::size_t N = 1, class F>
  static auto with_blocks(std::size_t size, F&& f) noexcept {
    if constexpr (N == kMaxBlocks) {
      return f(std::integral_constant<std::size_t, N>{});
    } else {
      if (size <= N * kWidth) return f(std::integral_constant<std::size_t, N>{});
      return with_blocks<N + 1>(size, f);
    }
  }

  // The first N * width bytes of an argument of `size` bytes, zero past its end.
  template <std::size_t N>
  struct Blocks {
    Vec v[N];

    static Blocks load(const char* p, std::size_t size) noexcept {
      Blocks b;
      for (std::size_t k = 0; k + 1 < N; ++k) b.v[k] = V::load(p + k * kWidth);
      b.v[N - 1] = V::load_partial(p + (N - 1) * kWidth, size - (N - 1) * kWidth);
      return b;
    }
    bool ascii() const noexcept {
      Vec seen = v[0];
      for (std::size_t k = 1; k < N; ++k) seen = V::either(seen, v[k]);
      return V::lanes(seen) == 0;
    }
    void lower_ascii() noexcept {
      for (std::size_t k = 0; k < N; ++k) v[k] = lower_ascii_lanes<V>(v[k]);
    }
    void store(char* out) const noexcept {
      for (std::size_t k = 0; k < N; ++k) V::store(out + k * kWidth, v[k]);
    }
    // Bit j: byte j equals c.
    std::uint64_t equal(char c) const noexcept {
      const Vec wanted = V::splat(c);
      std::uint64_t mask = 0;
      for (std::size_t k = 0; k < N; ++k) mask |= V::lanes(V::equal(v[k], wanted)) << (k * kWidth);
      return mask;
    }
    // Bit j: byte j is ASCII white space (for ASCII bytes only).
    std::uint64_t white_space() const noexcept {
      std::uint64_t mask = 0;
      for (std::size_t k = 0; k < N; ++k) {
        const auto space = V::either(V::equal(v[k], V::splat(' ')), V::in_range(v[k], '\t', '\r'));
        mask |= V::lanes(space) << (k * kWidth);
      }
      return mask;
    }
  };

  // The lowercased text of n bytes (n <= kShortInputBytes), held as N
  // registers and as bytes (for comparing long words).
  template <std::size_t N>
  struct LoweredText {
    const Blocks<N>& blocks;
    const char* bytes;
    std::size_t n;

    // Whether x[0, m) (m >= 1) occurs.
    bool has(const char* x, std::size_t m) const noexcept {
      if (m > n) return false;
      std::uint64_t starts = low_bits(n - m + 1);
      if (m <= 2) {
        for (std::size_t i = 0; i < m && starts != 0; ++i) starts &= blocks.equal(x[i]) >> i;
        return starts != 0;
      }
      starts &= blocks.equal(x[0]) & (blocks.equal(x[m - 1]) >> (m - 1));
      for (; starts != 0; starts &= starts - 1) {
        if (std::memcmp(bytes + std::countr_zero(starts), x, m) == 0) return true;
      }
      return false;
    }
  };

  // The words of an ASCII query lowercased as a whole (for ASCII the same as
  // word by word): the runs of set bits in `in_words`.
  struct AsciiWords {
    const char* lowered;
    std::uint64_t in_words;

    template <class Visit>
    void each(Visit&& visit) const noexcept {
      for (std::uint64_t starts = in_words & ~(in_words << 1); starts != 0; starts &= starts - 1) {
        const auto start = static_cast<std::size_t>(std::countr_zero(starts));
        visit(lowered + start, static_cast<std::size_t>(std::countr_one(in_words >> start)));
      }
    }
    std::uint64_t count() const noexcept {
      return static_cast<std::uint64_t>(std::popcount(in_words & ~(in_words << 1)));
    }
  };

  // The words of any query, each lowercased by itself into `buffer`.
  struct AnyWords {
    std::string_view query;
    char* buffer;
    LowerFull* lower_word;

    template <class Visit>
    void each(Visit&& visit) const noexcept {
      for_each_word(query, [&](std::string_view word) {
        visit(static_cast<const char*>(buffer), lower_word(word, buffer));
      });
    }
    std::uint64_t count() const noexcept {
      std::uint64_t words = 0;
      for_each_word(query, [&](std::string_view) { ++words; });
      return words;
    }
  };

  // Words lowercased already, each by itself.
  struct LoweredWords {
    std::span<const std::string_view> words;

    template <class Visit>
    void each(Visit&& visit) const noexcept {
      for (const std::string_view word : words) visit(word.data(), word.size());
    }
    std::uint64_t count() const noexcept { return words.size(); }
  };

  template <std::size_t N, class Words>
  static ShortWordHits count(const Blocks<N>& blocks, const char* bytes, std::size_t n,
                             const Words& words) noexcept {
    const LoweredText<N> text{blocks, bytes, n};
    ShortWordHits counts{0, 0};
    words.each([&](const char* x, std::size_t m) {
      counts.hits += text.has(x, m) ? 1 : 0;
      ++counts.words;
    });
    return counts;
  }

  template <class Words>
  static std::optional<ShortWordHits> score(std::string_view text, const Words& words,
                                            LowerFull* lower_word) noexcept {
    // No word occurs in an empty text; the words are only counted, not
    // lowercased.
    if (text.empty()) return ShortWordHits{0, words.count()};
    return with_blocks(text.size(), [&](auto blocks) -> std::optional<ShortWordHits> {
      constexpr std::size_t text_registers = decltype(blocks)::value;
      alignas(kWidth) char bytes[kBufferBytes];
      Blocks<text_registers> lowered = Blocks<text_registers>::load(text.data(), text.size());
      if (lowered.ascii()) {
        lowered.lower_ascii();
        lowered.store(bytes);
        return count(lowered, bytes, text.size(), words);
      }
      // Lengthening mappings can make it too long for the registers, and it
      // may need fewer or more of them than the text did.
      const std::size_t n = lower_word(text, bytes);
      if (n > kShortInputBytes) return std::nullopt;
      return with_blocks(n, [&](auto again) {
        constexpr std::size_t lowered_registers = decltype(again)::value;
        return count(Blocks<lowered_registers>::load(bytes, n), bytes, n, words);
      });
    });
  }

  // Words are found before the text is read, so a query without words never
  // touches it.
  static std::optional<ShortWordHits> hits(std::string_view text, std::string_view query,
                                           LowerFull* lower_word) noexcept {
    if (query.empty()) return ShortWordHits{0, 0};
    alignas(kWidth) char lowered_query[kBufferBytes];
    return with_blocks(query.size(), [&](auto blocks) -> std::optional<ShortWordHits> {
      constexpr std::size_t query_registers = decltype(blocks)::value;
      Blocks<query_registers> q = Blocks<query_registers>::load(query.data(), query.size());
      if (q.ascii()) {
        const std::uint64_t in_words = ~q.white_space() & low_bits(query.size());
        if (in_words == 0) return ShortWordHits{0, 0};
        q.lower_ascii();
        q.store(lowered_query);
        return score(text, AsciiWords{lowered_query, in_words}, lower_word);
      }
      if (trim_white_space(query).empty()) return ShortWordHits{0, 0};
      return score(text, AnyWords{query, lowered_query, lower_word}, lower_word);
    });
  }
};

template <PartialLoadByteVector V>
std::optional<ShortWordHits> short_input_prepared_hits_with(std::string_view text,
                                                            std::span<const std::string_view> words,
                                                            LowerFull* lower_word) noexcept {
  using Scorer = ShortInput<V>;
  return Scorer::score(text, typename Scorer::LoweredWords{words}, lower_word);
}

template <PartialLoadByteVector V>
std::optional<ShortWordHits> short_input_hits_with(std::string_view text, std::string_view query,
                                                   LowerFull* lower_word) noexcept {
  return ShortInput<V>::hits(text, query, lower_word);
}

}  // namespace
}  // namespace corvane::scoring
