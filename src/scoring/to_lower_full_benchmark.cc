// Throughput of to_lower_full on 1 MiB of prose in three scripts, against
// memcpy of the same buffer in the same run. Besides the first paragraphs
// (about 11% of their letters capitals), Greek and Cyrillic come as longer
// prose with about 7% capitals (sentence starts, names, a few words in
// capitals, Σ ending some of them) and as that prose already lowercased.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "allocation.h"
#include "to_lower_full.h"

namespace corvane::scoring {
namespace {

constexpr std::size_t buffer_bytes = std::size_t{1} << 20;

// Repeats `paragraph` up to 1 MiB, cut at a code point boundary.
std::string mebibyte_of(std::string_view paragraph) {
  std::string text;
  while (text.size() < buffer_bytes) text += paragraph;
  std::size_t end = buffer_bytes;
  while ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

const std::string& ascii_prose() {
  static const std::string text = mebibyte_of(
      "The Quick Brown Fox jumps over the lazy dog. In 1897 the GREAT EXHIBITION opened in "
      "Brussels, and visitors from Paris, London and Berlin came by train to see it. "
      "\"Nothing like it,\" wrote one reporter, \"has been seen in Europe since 1851.\" ");
  return text;
}

const std::string& greek_prose() {
  static const std::string text = mebibyte_of(
      "Η Ελλάδα είναι χώρα της νοτιοανατολικής Ευρώπης, στο νότιο άκρο της Βαλκανικής "
      "χερσονήσου. Η ΑΘΗΝΑ είναι η πρωτεύουσα και η μεγαλύτερη πόλη της χώρας, ενώ η "
      "Θεσσαλονίκη είναι η δεύτερη. Ο ΟΔΥΣΣΕΥΣ και ο Αχιλλέας είναι ήρωες του Ομήρου. ");
  return text;
}

const std::string& cyrillic_prose() {
  static const std::string text = mebibyte_of(
      "Москва — столица и крупнейший город России, расположенный на реке Москве. "
      "В ГОРОДЕ находятся Кремль, Красная площадь и Большой театр. Александр Пушкин "
      "и Лев Толстой жили и работали здесь. Метро открыли в 1935 году. ");
  return text;
}

const std::string& greek_capitals_prose() {
  static const std::string text = mebibyte_of(
      "Ο Παρθενώνας είναι ναός της θεάς Αθηνάς στην Ακρόπολη και χτίστηκε τον πέμπτο αιώνα "
      "με σχέδια του Ικτίνου και του Καλλικράτη, ενώ τα γλυπτά του επιμελήθηκε ο Φειδίας. "
      "Σήμερα οι επισκέπτες ανεβαίνουν τον λόφο από νωρίς το πρωί για να δουν τους κίονες "
      "στο φως του ήλιου. Στο ΜΟΥΣΕΙΟ ΤΗΣ ΑΚΡΟΠΟΛΗΣ εκτίθενται τα αγάλματα που βρέθηκαν "
      "στις ανασκαφές των τελευταίων δεκαετιών. Οι φιλόσοφοι της πόλης συζητούσαν στην "
      "αγορά για τη δικαιοσύνη και την αρετή. ");
  return text;
}

const std::string& cyrillic_capitals_prose() {
  static const std::string text = mebibyte_of(
      "Москва — столица России и крупнейший город страны, расположенный на берегах реки "
      "Москвы в центре европейской части. Здесь находятся Кремль, Красная площадь и "
      "Большой театр, а по улицам каждый день проходят тысячи людей. В ГОСУДАРСТВЕННОМ "
      "МУЗЕЕ хранятся картины и рукописи, собранные за несколько столетий. Зимой в городе "
      "идёт снег, и жители катаются на коньках в парках. Метро открыли в 1935 году, и "
      "теперь его станции считаются одними из самых красивых в мире. ");
  return text;
}

std::string lowercased(const std::string& text) {
  const Text lowered = to_lower_full(text);
  return std::string(lowered.data(), lowered.size());
}

const std::string& greek_lowercase_prose() {
  static const std::string text = lowercased(greek_capitals_prose());
  return text;
}

const std::string& cyrillic_lowercase_prose() {
  static const std::string text = lowercased(cyrillic_capitals_prose());
  return text;
}

void BM_Memcpy(benchmark::State& state) {
  const std::string& text = ascii_prose();
  Text copy(text.size(), '\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), text.data(), text.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Memcpy);

// The copy into a fresh Text, allocation included, as to_lower_full does it.
void BM_CopyToNewText(benchmark::State& state) {
  const std::string& text = ascii_prose();
  for (auto _ : state) {
    Text copy(text.data(), text.size());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CopyToNewText);

void lower_benchmark(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    Text lowered = to_lower_full(text);
    benchmark::DoNotOptimize(lowered.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_ToLowerFullAscii(benchmark::State& state) { lower_benchmark(state, ascii_prose()); }
BENCHMARK(BM_ToLowerFullAscii);

void BM_ToLowerFullGreek(benchmark::State& state) { lower_benchmark(state, greek_prose()); }
BENCHMARK(BM_ToLowerFullGreek);

void BM_ToLowerFullCyrillic(benchmark::State& state) { lower_benchmark(state, cyrillic_prose()); }
BENCHMARK(BM_ToLowerFullCyrillic);

void BM_ToLowerFullGreekCapitals(benchmark::State& state) {
  lower_benchmark(state, greek_capitals_prose());
}
BENCHMARK(BM_ToLowerFullGreekCapitals);

void BM_ToLowerFullCyrillicCapitals(benchmark::State& state) {
  lower_benchmark(state, cyrillic_capitals_prose());
}
BENCHMARK(BM_ToLowerFullCyrillicCapitals);

void BM_ToLowerFullGreekLowercase(benchmark::State& state) {
  lower_benchmark(state, greek_lowercase_prose());
}
BENCHMARK(BM_ToLowerFullGreekLowercase);

void BM_ToLowerFullCyrillicLowercase(benchmark::State& state) {
  lower_benchmark(state, cyrillic_lowercase_prose());
}
BENCHMARK(BM_ToLowerFullCyrillicLowercase);

}  // namespace
}  // namespace corvane::scoring
