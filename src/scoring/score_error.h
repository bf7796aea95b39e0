// The scoring core's error value.
//
// Contract: a `ScoreError` has one kind, `InvalidInput`, and one field,
// `message`, an owned UTF-8 string. Its display is "invalid input: "
// followed by the message, nothing more. It is returned, never thrown.
#pragma once

#include <string_view>

#include "base/allocation.h"

namespace corvane::scoring {

struct ScoreError {
  enum class Kind { InvalidInput };

  Kind kind;
  Text message;

  static ScoreError invalid_input(std::string_view message) {
    return ScoreError{Kind::InvalidInput, Text(message)};
  }
};

// "invalid input: " followed by the error's message.
Text display(const ScoreError& error);

}  // namespace corvane::scoring
