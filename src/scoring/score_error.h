// The scoring core's error value.
//
// Contract: a `ScoreError` has a kind and one field, `message`, an owned
// UTF-8 string. `InvalidInput` is the refusal of an argument; its display is
// "invalid input: " followed by the message, nothing more.
// `SurrogateInText` says that a text given as fixed-width code points holds
// a surrogate and has no UTF-8 form: the caller reports that in its own
// terms (the module raises the interpreter's own error for it), so its
// display is only the message. It is returned, never thrown.
#pragma once

#include <string_view>

#include "base/allocation.h"

namespace corvane::scoring {

struct ScoreError {
  enum class Kind { InvalidInput, SurrogateInText };

  Kind kind;
  Text message;

  static ScoreError invalid_input(std::string_view message) {
    return ScoreError{Kind::InvalidInput, Text(message)};
  }
  static ScoreError surrogate_in_text() {
    return ScoreError{Kind::SurrogateInText, Text("the text holds a surrogate code point")};
  }
};

// "invalid input: " followed by the error's message, or the message alone.
Text display(const ScoreError& error);

}  // namespace corvane::scoring
