// Every kernel of a family that this CPU can run, for tests that hold each
// one against its reference in one process, whatever level the process
// itself runs at.
//
// Contract: `each_kernel(&KernelTable::family)` gives, for every level this
// CPU has (lowest first), the family's kernel in that level's table
// (scoring/arch/kernel_table.h) when it is set and differs from the one
// before, named by that level; `width` is the table's threshold for it when
// a member for that is given (the kernel's vector width, for the families
// whose threshold is one), else 0.
// Complexity: O(number of levels).
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "scoring/arch/cpu_features.h"
#include "scoring/arch/kernel_table.h"

namespace corvane::scoring {

template <class F>
struct LevelKernel {
  std::string_view level;
  F* kernel;
  std::size_t width;
};

template <class F>
std::vector<LevelKernel<F>> each_kernel(F* KernelTable::* family,
                                        std::size_t KernelTable::* width = nullptr) {
  std::vector<LevelKernel<F>> kernels;
  F* previous = nullptr;
  for (std::size_t level = 0; level <= static_cast<std::size_t>(cpu_features().best); ++level) {
    const KernelTable& table = kernel_table_for(static_cast<Isa>(level));
    F* const kernel = table.*family;
    if (kernel == nullptr || kernel == previous) continue;
    previous = kernel;
    kernels.push_back({isa_name(table.isa), kernel, width != nullptr ? table.*width : 0});
  }
  return kernels;
}

}  // namespace corvane::scoring
