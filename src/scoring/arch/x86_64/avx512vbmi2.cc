// The AVX-512 VBMI2 level's generic kernels, compiled for it whatever the
// build's baseline: the two-byte lowercase loop uses VBMI's byte permute
// across the whole register.
#include "scoring/arch/generic/kernel_dependencies.h"
#include "scoring/arch/level_kernels.h"
#include "scoring/arch/target_region.h"

// Everything defined from here on, the kernels included, is compiled for
// AVX-512 with VBMI and VBMI2. The headers above stay at the baseline.
CORVANE_TARGET_BEGIN(Avx512Vbmi2)

#include "scoring/arch/generic/two_byte_lower_kernel.h"
#include "scoring/arch/x86_64/avx512_bytes.h"

namespace corvane::scoring::avx512vbmi2 {

constinit LowerSequenceRun* const kLowerTwoByteRun = scoring::lower_two_byte_run<Avx512VbmiBytes>;

}  // namespace corvane::scoring::avx512vbmi2

CORVANE_TARGET_END()
