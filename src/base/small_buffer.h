// Scratch storage that lives on the stack while it is small.
//
// Contract: `SmallBuffer<T, N>` holds room for `N` values of a trivially
// copyable `T` inline; `grow(count, keep)` makes room for at least `count`
// values, keeping the first `keep` of them, and moves to the heap (through
// `allocate_or_abort`) only when `count` exceeds what it holds. The values
// are uninitialised; nothing is constructed or destroyed. Not copyable.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "base/allocation.h"

namespace corvane {

template <class T, std::size_t N>
class SmallBuffer {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  SmallBuffer() noexcept = default;
  SmallBuffer(const SmallBuffer&) = delete;
  SmallBuffer& operator=(const SmallBuffer&) = delete;
  ~SmallBuffer() {
    if (data_ != inline_.values) release_allocation(data_);
  }

  T* data() noexcept { return data_; }

  // Complexity: O(keep) when it moves, O(1) otherwise.
  T* grow(std::size_t count, std::size_t keep = 0) noexcept {
    if (count <= capacity_) return data_;
    std::size_t wanted = capacity_ * 2 > count ? capacity_ * 2 : count;
    T* fresh = AbortingAllocator<T>().allocate(wanted);
    if (keep != 0) std::memcpy(fresh, data_, keep * sizeof(T));
    if (data_ != inline_.values) release_allocation(data_);
    data_ = fresh;
    capacity_ = wanted;
    return data_;
  }

 private:
  // A union with a constructor of its own leaves the values unconstructed,
  // as the contract says, even for a `T` with default member initialisers.
  union Inline {
    Inline() noexcept {}
    T values[N];
  };
  Inline inline_;
  T* data_ = inline_.values;
  std::size_t capacity_ = N;
};

}  // namespace corvane
