// The SSE2 level, the x86-64 baseline: no target region and no run-time
// check are needed. Its ASCII loop is inlined at the callers
// (scoring/arch/ascii_run.h).
#include "scoring/arch/generic/low_bytes_kernel.h"
#include "scoring/arch/generic/prefilter_kernel.h"
#include "scoring/arch/generic/short_input_kernel.h"
#include "scoring/arch/generic/short_pairs_kernel.h"
#include "scoring/arch/generic/short_units_kernel.h"
#include "scoring/arch/generic/unit_pair_kernel.h"
#include "scoring/arch/level_kernels.h"
#include "scoring/arch/x86_64/sse2_bytes.h"

namespace corvane::scoring::sse2 {

constinit PrefilteredSearch* const kPrefilteredSearch = prefiltered_search_with<Sse2Bytes>;
constinit ShortInputHits* const kShortInputHits = short_input_hits_with<Sse2Bytes>;
constinit ShortInputPreparedHits* const kShortInputPreparedHits =
    short_input_prepared_hits_with<Sse2Bytes>;
constinit ShortUnitsHits* const kShortUnitsHits = short_units_hits_with<Sse2Bytes>;
constinit FindUnitPair* const kFindUnitPair = find_unit_pair_with<Sse2Bytes>;
constinit KeepLowBytes* const kKeepLowBytes = keep_low_bytes_with;
constinit KeepShortLowBytes* const kKeepShortLowBytes = keep_short_low_bytes_with<Sse2Bytes>;
constinit ShortPairStarts* const kShortPairStarts = short_pair_starts_with<Sse2Bytes>;

}  // namespace corvane::scoring::sse2
