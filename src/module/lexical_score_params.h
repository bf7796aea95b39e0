// The parameters of `lexical_score(text, query)`.
//
// Contract: `lexical_score_params` is a static, read-only description of the
// function's signature as Python sees it: its name (messages call it
// "lexical_score()"), no class, the positional parameters "text" and
// "query" in this order, none of them positional-only, both required, and
// no keyword-only parameter. The binding of the entry point reads its
// parameter names from here, and its messages name the function
// from here.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace corvane::module {

struct ParameterTable {
  std::string_view function_name;
  std::array<std::string_view, 2> positional_names;
  // None positional-only, all required, no keyword-only parameters: every
  // name above may also be a keyword.
};

// The table keeps the name by which the signature is known.
// NOLINTNEXTLINE(readability-identifier-naming)
inline constexpr ParameterTable lexical_score_params{
    .function_name = "lexical_score",
    .positional_names = {"text", "query"},
};

}  // namespace corvane::module
