#include "scoring/arch/kernel_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "scoring/arch/cpu_features.h"

namespace corvane::scoring {
namespace {

// The process runs at the level CORVANE_ISA names, or at the CPU's best;
// tools/test runs the native tests once per level.
TEST(KernelTable, RunsAtTheLevelAsked) {
  const char* const wanted = std::getenv("CORVANE_ISA");
  ASSERT_EQ(isa_override_error(), "");
  if (wanted == nullptr || *wanted == '\0') {
    EXPECT_EQ(kernels().isa, cpu_features().best);
  } else {
    EXPECT_EQ(isa_name(kernels().isa), std::string_view(wanted));
  }
}

// Every level's table is its own, and each level below the CPU's best
// leaves out nothing that the level below it has.
TEST(KernelTable, EachLevelKeepsWhatTheLevelBelowHas) {
  for (std::size_t level = 1; level <= static_cast<std::size_t>(cpu_features().best); ++level) {
    const KernelTable& below = kernel_table_for(static_cast<Isa>(level - 1));
    const KernelTable& table = kernel_table_for(static_cast<Isa>(level));
    SCOPED_TRACE(isa_name(table.isa));
    EXPECT_EQ(static_cast<std::size_t>(table.isa), level);
    EXPECT_TRUE(table.lower_two_byte_run != nullptr || below.lower_two_byte_run == nullptr);
    EXPECT_TRUE(table.lower_long_run != nullptr || below.lower_long_run == nullptr);
    EXPECT_TRUE(table.encode_units16 != nullptr || below.encode_units16 == nullptr);
    EXPECT_TRUE(table.lower_latin1_units != nullptr || below.lower_latin1_units == nullptr);
    EXPECT_TRUE(table.short_input_hits != nullptr || below.short_input_hits == nullptr);
    EXPECT_GE(table.prefilters[0].min_window_starts, below.prefilters[0].min_window_starts);
  }
}

}  // namespace
}  // namespace corvane::scoring
