// The portable level: the ASCII loop on the portable trait and the byte
// loop of the prefiltered search, for CPUs (or a CORVANE_ISA cap) without
// the project's vector code. Every other family is left to the callers'
// scalar code.
#include "scoring/arch/generic/ascii_lower_kernel.h"
#include "scoring/arch/generic/verify_candidate.h"
#include "scoring/arch/level_kernels.h"
#include "scoring/arch/portable/portable_bytes.h"

namespace corvane::scoring {
namespace {

PrefilterResult prefiltered_search_bytewise(const unsigned char* haystack, std::size_t last,
                                            const unsigned char* needle, std::size_t m,
                                            const RareBytes& rare) noexcept {
  CandidateVerifier verifier(haystack, needle, m);
  const unsigned char* at1 = haystack + rare.offset1;
  const unsigned char* at2 = haystack + rare.offset2;
  const unsigned char* at3 = haystack + rare.offset3;
  bool tight = false;
  for (std::size_t j = 0; j <= last; ++j) {
    if (at1[j] != rare.byte1 || at2[j] != rare.byte2 || (tight && at3[j] != rare.byte3)) continue;
    switch (verifier.check(j, tight)) {
      case Candidate::Found:
        return {true, j};
      case Candidate::GiveUp:
        return {false, j + 1};
      case Candidate::Tighten:
        tight = true;
        break;
      case Candidate::Rejected:
        break;
    }
  }
  return {false, last + 1};
}

}  // namespace

namespace portable {
constinit LowerAsciiRun* const kLowerAsciiRun = scoring::lower_ascii_run<PortableBytes>;
constinit PrefilteredSearch* const kPrefilteredSearch = prefiltered_search_bytewise;
}  // namespace portable

}  // namespace corvane::scoring
