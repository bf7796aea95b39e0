#include "base/native_stderr.h"

#include <unistd.h>

#include <cerrno>

namespace corvane {

void write_native_stderr(std::string_view text) noexcept {
  while (!text.empty()) {
    const ssize_t n = ::write(2, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace corvane
