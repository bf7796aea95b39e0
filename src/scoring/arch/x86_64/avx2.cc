// The AVX2 level's generic kernels (AVX2 with BMI1 and BMI2), compiled for
// it whatever the build's baseline.
#include "scoring/arch/generic/kernel_dependencies.h"
#include "scoring/arch/level_kernels.h"
#include "scoring/arch/target_region.h"

// Everything defined from here on, the kernels included, is compiled for
// AVX2. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN(Avx2)

#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/generic/long_lower_kernel.h"
#include "scoring/arch/generic/low_bytes_kernel.h"
#include "scoring/arch/generic/prefilter_kernel.h"
#include "scoring/arch/generic/short_input_kernel.h"
#include "scoring/arch/generic/short_pairs_kernel.h"
#include "scoring/arch/generic/short_units_kernel.h"
#include "scoring/arch/generic/surrogate_scan_kernel.h"
#include "scoring/arch/generic/two_byte_lower_kernel.h"
#include "scoring/arch/generic/unit_pair_kernel.h"
#include "scoring/arch/x86_64/avx2_bytes.h"

namespace corvane::scoring::avx2 {

constinit LowerAsciiRun* const kLowerAsciiRun = scoring::lower_ascii_run<Avx2Bytes>;
constinit LowerSequenceRun* const kLowerTwoByteRun = scoring::lower_two_byte_run<Avx2Bytes>;
constinit LowerSequenceRun* const kLowerLongRun = scoring::lower_long_run<Avx2Bytes>;
constinit HoldsSurrogate16* const kHoldsSurrogate16 = any_surrogate<std::uint16_t>;
constinit HoldsSurrogate32* const kHoldsSurrogate32 = any_surrogate<std::uint32_t>;
constinit PrefilteredSearch* const kPrefilteredSearch = prefiltered_search_with<Avx2Bytes>;
constinit ShortInputHits* const kShortInputHits = short_input_hits_with<Avx2Bytes>;
constinit ShortInputPreparedHits* const kShortInputPreparedHits =
    short_input_prepared_hits_with<Avx2Bytes>;
constinit ShortUnitsHits* const kShortUnitsHits = short_units_hits_with<Avx2Bytes>;
constinit FindUnitPair* const kFindUnitPair = find_unit_pair_with<Avx2Bytes>;
constinit KeepLowBytes* const kKeepLowBytes = keep_low_bytes_with;
constinit KeepShortLowBytes* const kKeepShortLowBytes = keep_short_low_bytes_with<Avx2Bytes>;
constinit ShortPairStarts* const kShortPairStarts = short_pair_starts_with<Avx2Bytes>;

}  // namespace corvane::scoring::avx2

CORVANE_TARGET_END()
