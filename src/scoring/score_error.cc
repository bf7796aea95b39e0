#include "scoring/score_error.h"

namespace corvane::scoring {

Text display(const ScoreError& error) {
  constexpr std::string_view prefix = "invalid input: ";
  Text text;
  switch (error.kind) {
    case ScoreError::Kind::InvalidInput:
      text.reserve(prefix.size() + error.message.size());
      text.append(prefix);
      break;
    case ScoreError::Kind::SurrogateInText:
      break;
  }
  text.append(error.message);
  return text;
}

}  // namespace corvane::scoring
