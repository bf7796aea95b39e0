// A run of ASCII lowercased by the kernel table's ASCII loop or, where
// calling it would not pay, by the baseline loop inlined at the caller.
//
// Contract: `lower_ascii_run_with(table, in, size, out)` does what
// `lower_ascii_run` (scoring/arch/generic/ascii_lower_kernel.h) promises,
// with `table.lower_ascii_run` when it is set and `size` reaches
// `table.ascii_min_size`, and otherwise with the build's baseline vector
// trait (scoring/arch/baseline_bytes.h), inlined. The portable level sets a
// loop of its own with no threshold, so that no vector code of the
// project's runs there.
// Complexity: O(size).
#pragma once

#include <cstddef>

#include "scoring/arch/baseline_bytes.h"
#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/kernel_table.h"

namespace corvane::scoring {
namespace {

inline std::size_t lower_ascii_run_with(const KernelTable& table, const char* in, std::size_t size,
                                        char* out) noexcept {
  if (table.lower_ascii_run != nullptr && size >= table.ascii_min_size) {
    return table.lower_ascii_run(in, size, out);
  }
  return lower_ascii_run<BaselineBytes>(in, size, out);
}

}  // namespace
}  // namespace corvane::scoring
