#include "scoring/search/prefilter.h"

#include "scoring/arch/kernel_table.h"
#include "scoring/search/byte_frequency.h"

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

PrefilteredSearch* prefiltered_search_for(std::size_t window_starts) noexcept {
  for (const KernelTable::Prefilter& kernel : kernels().prefilters) {
    if (window_starts >= kernel.min_window_starts) return kernel.search;
  }
  // Not reached: every table ends with the portable search, which takes
  // any haystack.
  return kernel_table_for(Isa::Portable).prefilters[0].search;
}

}  // namespace corvane::scoring
