#include "scoring/prepared_query.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "scoring/testing/testing.h"

namespace corvane::scoring {
namespace {

// A run scored at once gives each text the score it has alone, up to the
// first text holding a surrogate, whose index it gives; the scores from
// there on are left as they were.
TEST(PreparedQuery, ScoreEachIsScoreUpToTheFirstSurrogate) {
  const auto query = PreparedQuery::make("Straße ΟΔΟΣ cat");
  ASSERT_TRUE(query);
  const std::string long_ascii = std::string(200, '-') + " the Cat";
  const Units greek("Η ΟΔΟΣ ΣΤΡΑΣΣΕ", 2);
  const Units long_greek(std::string(100, 'x') + " οδος straße", 2);
  const Units emoji("\xF0\x9F\x98\x80 cat STRASSE", 4);
  const Units latin1("café Straße", 1);
  const std::uint16_t lone[] = {'c', 'a', 't', 0xD800};
  const ScoreText surrogate = FixedWidthText{lone, 4, 2};
  const ScoreText short_ascii = std::string_view("the CAT");
  struct Case {
    std::vector<ScoreText> texts;
    std::size_t first_refused;
  };
  const Case cases[] = {
      {{short_ascii, std::string_view(long_ascii), greek.text, long_greek.text, emoji.text,
        latin1.text, std::string_view()},
       7},
      {{short_ascii, greek.text, emoji.text, surrogate, long_greek.text, latin1.text}, 3},
      {{surrogate}, 0},
  };
  for (const Case& c : cases) {
    std::vector<float> scores(c.texts.size(), -1.0f);
    EXPECT_EQ(query->score_each(c.texts, scores.data()), c.first_refused);
    for (std::size_t k = 0; k < c.texts.size(); ++k) {
      if (k < c.first_refused) {
        EXPECT_EQ(scores[k], *query->score(c.texts[k])) << "text " << k;
      } else {
        EXPECT_EQ(scores[k], -1.0f) << "text " << k;
      }
    }
  }
}

}  // namespace
}  // namespace corvane::scoring
