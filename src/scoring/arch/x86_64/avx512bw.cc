// The AVX-512BW level's generic kernels (AVX-512 F and BW), compiled for it
// whatever the build's baseline. Comparisons land in mask registers, so a
// window of 64 starts costs two or three compares and a test.
#include "scoring/arch/generic/kernel_dependencies.h"
#include "scoring/arch/level_kernels.h"
#include "scoring/arch/target_region.h"

// Everything defined from here on, the kernels included, is compiled for
// AVX-512BW. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN(Avx512Bw)

#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/generic/long_lower_kernel.h"
#include "scoring/arch/generic/low_bytes_kernel.h"
#include "scoring/arch/generic/prefilter_kernel.h"
#include "scoring/arch/generic/short_input_kernel.h"
#include "scoring/arch/generic/short_pairs_kernel.h"
#include "scoring/arch/generic/short_units_kernel.h"
#include "scoring/arch/x86_64/avx512_bytes.h"

namespace corvane::scoring::avx512bw {

constinit LowerAsciiRun* const kLowerAsciiRun = scoring::lower_ascii_run<Avx512BwBytes>;
constinit LowerSequenceRun* const kLowerLongRun = scoring::lower_long_run<Avx512BwBytes>;
constinit PrefilteredSearch* const kPrefilteredSearch = prefiltered_search_with<Avx512BwBytes>;
constinit ShortInputHits* const kShortInputHits = short_input_hits_with<Avx512BwBytes>;
constinit ShortInputPreparedHits* const kShortInputPreparedHits =
    short_input_prepared_hits_with<Avx512BwBytes>;
constinit ShortUnitsHits* const kShortUnitsHits = short_units_hits_with<Avx512BwBytes>;
constinit KeepLowBytes* const kKeepLowBytes = keep_low_bytes_with;
constinit KeepShortLowBytes* const kKeepShortLowBytes = keep_short_low_bytes_with<Avx512BwBytes>;
constinit ShortPairStarts* const kShortPairStarts = short_pair_starts_with<Avx512BwBytes>;

}  // namespace corvane::scoring::avx512bw

CORVANE_TARGET_END()
