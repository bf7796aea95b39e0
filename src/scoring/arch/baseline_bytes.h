// The byte-vector trait of the build's baseline instruction set, for code
// that runs without a run-time check: SSE2 on x86-64 and NEON on AArch64
// (every such CPU has it), the portable trait elsewhere.
#pragma once

#if defined(__SSE2__)
#include "scoring/arch/x86_64/sse2_bytes.h"
#elif defined(__aarch64__)
#include "scoring/arch/aarch64/neon_bytes.h"
#else
#include "scoring/arch/portable/portable_bytes.h"
#endif

namespace corvane::scoring {
namespace {

#if defined(__SSE2__)
using BaselineBytes = Sse2Bytes;
#elif defined(__aarch64__)
using BaselineBytes = NeonBytes;
#else
using BaselineBytes = PortableBytes;
#endif

}  // namespace
}  // namespace corvane::scoring
