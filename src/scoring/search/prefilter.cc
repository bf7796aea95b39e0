#include "scoring/search/prefilter.h"

#include "scoring/arch/cpu_features.h"
#include "scoring/search/byte_frequency.h"
#include "scoring/search/verify_candidate.h"

#if defined(__x86_64__)
#include "scoring/arch/x86_64/entry_points.h"
#elif defined(__aarch64__)
#include "scoring/arch/aarch64/entry_points.h"
#endif

namespace corvane::scoring {

RareBytes choose_rare_bytes(std::string_view needle) noexcept {
  const auto* x = reinterpret_cast<const unsigned char*>(needle.data());
  // One pass keeps the rarest byte's first offset and the best second
  // offset: the rarest other byte value, or failing that a repeat of the
  // rarest (keyed 256 + rank, after every other value); ties keep the
  // earlier offset. Ranks are distinct, so a byte ranking below the rarest
  // so far is a new value, and the old rarest becomes the best second.
  std::size_t first = 0;
  unsigned first_rank = kByteFrequencyRank[x[0]];
  std::size_t second = 0;
  unsigned second_key = ~0u;
  for (std::size_t i = 1; i < needle.size(); ++i) {
    const unsigned rank = kByteFrequencyRank[x[i]];
    if (rank < first_rank) {
      second = first;
      second_key = first_rank;
      first = i;
      first_rank = rank;
      continue;
    }
    const unsigned key = rank == first_rank ? 256 + rank : rank;
    if (key < second_key) {
      second = i;
      second_key = key;
    }
  }
  // The third: the rarest byte at another offset, a value already chosen
  // counting as common; ties keep the earlier offset.
  std::size_t third = first;
  unsigned third_key = ~0u;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    if (i == first || i == second) continue;
    const unsigned rank = kByteFrequencyRank[x[i]];
    const unsigned key = x[i] == x[first] || x[i] == x[second] ? 256 + rank : rank;
    if (key < third_key) {
      third = i;
      third_key = key;
    }
  }
  return {first, second, third, x[first], x[second], x[third]};
}

PrefilterResult prefiltered_search_bytewise(const unsigned char* haystack, std::size_t last,
                                            const unsigned char* needle, std::size_t m,
                                            const RareBytes& rare) noexcept {
  CandidateVerifier verifier(haystack, needle, m);
  const unsigned char* at1 = haystack + rare.offset1;
  const unsigned char* at2 = haystack + rare.offset2;
  const unsigned char* at3 = haystack + rare.offset3;
  bool tight = false;
  for (std::size_t j = 0; j <= last; ++j) {
    if (at1[j] != rare.byte1 || at2[j] != rare.byte2 || (tight && at3[j] != rare.byte3)) continue;
    switch (verifier.check(j, tight)) {
      case Candidate::Found:
        return {true, j};
      case Candidate::GiveUp:
        return {false, j + 1};
      case Candidate::Tighten:
        tight = true;
        break;
      case Candidate::Rejected:
        break;
    }
  }
  return {false, last + 1};
}

PrefilteredSearch prefiltered_search_for(std::size_t window_starts) noexcept {
#if defined(__x86_64__)
  const CpuFeatures& cpu = cpu_features();
  if (window_starts >= 64 && cpu.avx512bw) return prefiltered_search_avx512bw;
  if (window_starts >= 32 && cpu.avx2) return prefiltered_search_avx2;
  if (window_starts >= 16) return prefiltered_search_sse2;
#elif defined(__aarch64__)
  if (window_starts >= 16) return prefiltered_search_neon;
#else
  static_cast<void>(window_starts);
#endif
  return prefiltered_search_bytewise;
}

}  // namespace corvane::scoring
