// What the kernels of this folder include besides one another.
//
// A file that instantiates the kernels for an instruction set beyond the
// baseline includes this header before its target region
// (scoring/arch/target_region.h): inline functions with external linkage
// are merged across translation units, so none of them may be compiled for
// a wider set than the one every caller runs on. Defined here, they stay at
// the baseline; the kernels themselves have internal linkage.
#pragma once

#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>

#include "scoring/arch/byte_vector.h"
#include "scoring/arch/generic/verify_candidate.h"
#include "scoring/arch/kernel_types.h"
#include "scoring/unicode/case_tables.h"
#include "scoring/unicode/final_sigma.h"
#include "scoring/unicode/may_lowercase.h"
#include "scoring/unicode/sigma_context.h"
#include "scoring/unicode/two_byte_case_shift.h"
#include "scoring/unicode/two_byte_lowercase.h"
#include "scoring/unicode/utf8.h"
#include "scoring/unicode/white_space.h"
