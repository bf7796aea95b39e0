// compute_lexical_score on 1 MiB texts, beside one memcpy of the same text
// plus one memchr scan per query word (the least any scorer must touch).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "scoring/lexical_score.h"

namespace {

constexpr std::size_t kTextBytes = 1 << 20;

std::string repeat_to(std::string_view unit, std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text.append(unit);
  return text;
}

const std::string& ascii_prose() {
  static const std::string text = repeat_to(
      "The quick brown Fox jumps over the lazy dog, and the Cat watches it from "
      "the warm windowsill while rain drums softly on the old tin roof. ",
      kTextBytes);
  return text;
}

const std::string& greek_prose() {
  static const std::string text = repeat_to(
      "Η ΟΔΟΣ προς την πόλη ήταν μακριά, αλλά ο δρόμος ΣΑΣ ήταν ήσυχος και "
      "φωτεινός κάτω από τον ουρανό του φθινοπώρου. ",
      kTextBytes);
  return text;
}

void BM_MemcpyPlusMemchrPerWord(benchmark::State& state) {
  const std::string& text = ascii_prose();
  std::vector<char> copy(text.size());
  const int words = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::memcpy(copy.data(), text.data(), text.size());
    for (int w = 0; w < words; ++w) {
      benchmark::DoNotOptimize(std::memchr(copy.data(), '\x01', copy.size()));
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_MemcpyPlusMemchrPerWord)->Arg(4);

void BM_ScoreAsciiFourAbsentWords(benchmark::State& state) {
  const std::string& text = ascii_prose();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        corvane::scoring::compute_lexical_score(text, "zebra Quokka narwhal yak"));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ScoreAsciiFourAbsentWords);

void BM_ScoreGreekThreeWords(benchmark::State& state) {
  const std::string& text = greek_prose();
  for (auto _ : state) {
    benchmark::DoNotOptimize(corvane::scoring::compute_lexical_score(text, "οδος ΣΑΣ θάλασσα"));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ScoreGreekThreeWords);

void BM_ScoreTinyCall(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        corvane::scoring::compute_lexical_score("The Cat sat on the mat", "cat dog"));
  }
}
BENCHMARK(BM_ScoreTinyCall);

}  // namespace
