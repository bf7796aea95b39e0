// Writing to the process's native standard error.
//
// Contract: `write_native_stderr(text)` writes all of `text` to file
// descriptor 2 (not `sys.stderr`, not the C++ streams) with as few writes
// as the system allows, retrying a write that a signal interrupted; it
// gives up silently when the descriptor fails. It allocates nothing, so it
// serves when the heap is exhausted, and any thread may call it.
// Complexity: O(len(text)).
#pragma once

#include <string_view>

namespace corvane {

void write_native_stderr(std::string_view text) noexcept;

}  // namespace corvane
