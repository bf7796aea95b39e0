#include "base/allocation.h"

#include <charconv>
#include <cstdlib>

#include "base/native_stderr.h"

namespace corvane {

void allocation_failed(std::size_t bytes) noexcept {
  // Built on the stack: the heap is what just failed.
  char line[64] = "memory allocation of ";
  std::size_t length = sizeof("memory allocation of ") - 1;
  auto [end, error] = std::to_chars(line + length, line + sizeof(line), bytes);
  (void)error;
  length = static_cast<std::size_t>(end - line);
  constexpr char tail[] = " bytes failed\n";
  for (char c : std::string_view(tail, sizeof(tail) - 1)) line[length++] = c;
  write_native_stderr(std::string_view(line, length));
  std::abort();
}

void* allocate_or_abort(std::size_t bytes) noexcept {
  void* memory = std::malloc(bytes == 0 ? 1 : bytes);
  if (memory == nullptr) allocation_failed(bytes);
  return memory;
}

void release_allocation(void* memory) noexcept { std::free(memory); }

}  // namespace corvane
