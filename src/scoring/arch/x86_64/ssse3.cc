// The SSSE3 level's generic kernels (for its byte shuffle), compiled for it
// whatever the build's baseline.
#include "scoring/arch/generic/kernel_dependencies.h"
#include "scoring/arch/level_kernels.h"
#include "scoring/arch/target_region.h"

// Everything defined from here on, the kernels included, is compiled for
// SSSE3. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN(Ssse3)

#include "scoring/arch/generic/long_lower_kernel.h"
#include "scoring/arch/generic/two_byte_lower_kernel.h"
#include "scoring/arch/x86_64/ssse3_bytes.h"

namespace corvane::scoring::ssse3 {

constinit LowerSequenceRun* const kLowerTwoByteRun = scoring::lower_two_byte_run<Ssse3Bytes>;
constinit LowerSequenceRun* const kLowerLongRun = scoring::lower_long_run<Ssse3Bytes>;

}  // namespace corvane::scoring::ssse3

CORVANE_TARGET_END()
