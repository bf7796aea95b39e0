// Memory for the module's own buffers.
//
// Contract: every buffer that this project allocates for itself (lowercased
// copies, word lists, message texts) goes through `AbortingAllocator`. When
// the operating system refuses the memory, the process writes
// "memory allocation of N bytes failed" and a line feed to file descriptor 2
// and aborts at once; no exception is thrown and nothing is unwound. A size
// beyond what the address space can hold at all counts as a refused request.
// The allocator is stateless and safe to use from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// Writes the exhaustion line for `bytes` to the native standard error and
// ends the process abnormally (no exit handlers, no interpreter finalisation).
[[noreturn]] void allocation_failed(std::size_t bytes) noexcept;

// Returns `bytes` of fresh memory, or ends the process by `allocation_failed`.
void* allocate_or_abort(std::size_t bytes) noexcept;
void release_allocation(void* memory) noexcept;

template <class T>
struct AbortingAllocator {
  using value_type = T;

  AbortingAllocator() noexcept = default;
  template <class U>
  AbortingAllocator(const AbortingAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) noexcept {
    constexpr std::size_t limit = static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(T);
    if (count > limit) {
      allocation_failed(count > SIZE_MAX / sizeof(T) ? SIZE_MAX : count * sizeof(T));
    }
    return static_cast<T*>(allocate_or_abort(count * sizeof(T)));
  }
  void deallocate(T* memory, std::size_t) noexcept {
    release_allocation(static_cast<void*>(memory));
  }

  friend bool operator==(const AbortingAllocator&, const AbortingAllocator&) noexcept {
    return true;
  }
};

// Owned UTF-8 text and lists whose growth can only end in the abort above.
using Text = std::basic_string<char, std::char_traits<char>, AbortingAllocator<char>>;
template <class T>
using Vector = std::vector<T, AbortingAllocator<T>>;

}  // namespace corvane
