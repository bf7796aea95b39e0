#include <type_traits>

#include "scoring/arch/generic/surrogate_scan_kernel.h"
#include "scoring/arch/kernel_table.h"
#include "scoring/transcode/fixed_width_text.h"
#include "scoring/transcode/units.h"

namespace corvane::scoring {

bool holds_surrogate(const FixedWidthText& text, std::size_t begin, std::size_t end) noexcept {
  return with_units(text, [&](const auto* units) {
    using Unit = std::remove_cvref_t<decltype(*units)>;
    if constexpr (sizeof(Unit) == 1) {
      return false;
    } else {
      // The kernel table's scan where the level has one, else the same
      // loop at the baseline.
      const auto scan = [] {
        if constexpr (sizeof(Unit) == 2) {
          return kernels().holds_surrogate16;
        } else {
          return kernels().holds_surrogate32;
        }
      }();
      return scan != nullptr ? scan(units + begin, end - begin)
                             : any_surrogate(units + begin, end - begin);
    }
  });
}

}  // namespace corvane::scoring
