// The NEON level, the AArch64 baseline: no target region and no run-time
// check are needed. Its ASCII loop is inlined at the callers
// (scoring/arch/ascii_run.h).
#include "scoring/arch/aarch64/neon_bytes.h"
#include "scoring/arch/generic/long_lower_kernel.h"
#include "scoring/arch/generic/low_bytes_kernel.h"
#include "scoring/arch/generic/prefilter_kernel.h"
#include "scoring/arch/generic/short_input_kernel.h"
#include "scoring/arch/generic/short_pairs_kernel.h"
#include "scoring/arch/generic/short_units_kernel.h"
#include "scoring/arch/generic/two_byte_lower_kernel.h"
#include "scoring/arch/generic/unit_pair_kernel.h"
#include "scoring/arch/level_kernels.h"

namespace corvane::scoring::neon {

constinit LowerSequenceRun* const kLowerTwoByteRun = scoring::lower_two_byte_run<NeonBytes>;
constinit LowerSequenceRun* const kLowerLongRun = scoring::lower_long_run<NeonBytes>;
constinit PrefilteredSearch* const kPrefilteredSearch = prefiltered_search_with<NeonBytes>;
constinit ShortInputHits* const kShortInputHits = short_input_hits_with<NeonBytes>;
constinit ShortInputPreparedHits* const kShortInputPreparedHits =
    short_input_prepared_hits_with<NeonBytes>;
constinit ShortUnitsHits* const kShortUnitsHits = short_units_hits_with<NeonBytes>;
constinit FindUnitPair* const kFindUnitPair = find_unit_pair_with<NeonBytes>;
constinit KeepLowBytes* const kKeepLowBytes = keep_low_bytes_with;
constinit KeepShortLowBytes* const kKeepShortLowBytes = keep_short_low_bytes_with<NeonBytes>;
constinit ShortPairStarts* const kShortPairStarts = short_pair_starts_with<NeonBytes>;

}  // namespace corvane::scoring::neon
