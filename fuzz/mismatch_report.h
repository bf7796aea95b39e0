// How a fuzz harness stops on a disagreement.
//
// Contract: `report_mismatch` writes what disagreed and each labelled value
// (as its code points, U+XXXX, the first 256 of them) to standard error and
// aborts the process, which libFuzzer records as a crash with its input and
// a corpus replay reports as a failed test.
#pragma once

#include <initializer_list>
#include <string_view>

namespace corvane::fuzz {

struct Shown {
  std::string_view label;
  std::string_view utf8;
};

[[noreturn]] void report_mismatch(std::string_view what, std::initializer_list<Shown> values);

}  // namespace corvane::fuzz
