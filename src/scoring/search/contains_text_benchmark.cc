// Throughput of `contains_text` beside memchr and the C library's memmem,
// measured in the same run on the same buffers. Each benchmark reports the
// haystack bytes searched per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scoring/search/contains_text.h"

namespace {

using corvane::scoring::Needle;

constexpr std::size_t kMebibyte = std::size_t{1} << 20;

// The adversarial inputs come in 1, 2, 4 and 8 MiB: doubling the size must
// about double the time. (Which doublings stay inside one cache level
// depends on the machine, so all three are there.)
constexpr std::array<std::size_t, 4> kScales = {1, 2, 4, 8};
constexpr std::size_t kLargestScale = 8;
constexpr std::array<const char*, 4> kAdversarial = {"run_then_b", "periodic_then_c",
                                                     "frequent_then_rare", "binary_random"};

// Lowercase English-like prose: words drawn with Zipf-like weights, with
// commas, full stops and line breaks, from a fixed seed.
std::string make_prose(std::size_t size) {
  static constexpr std::array<const char*, 96> words = {
      "the",     "of",      "and",     "to",       "a",      "in",         "is",     "that",
      "for",     "it",      "as",      "was",      "with",   "be",         "by",     "on",
      "not",     "he",      "this",    "are",      "or",     "his",        "from",   "at",
      "which",   "but",     "have",    "an",       "had",    "they",       "you",    "were",
      "their",   "one",     "all",     "we",       "can",    "her",        "has",    "there",
      "been",    "if",      "more",    "when",     "will",   "would",      "who",    "so",
      "no",      "time",    "people",  "year",     "way",    "day",        "man",    "thing",
      "woman",   "life",    "child",   "world",    "school", "state",      "family", "student",
      "group",   "country", "problem", "hand",     "part",   "place",      "case",   "week",
      "company", "system",  "program", "question", "work",   "government", "number", "night",
      "point",   "home",    "water",   "room",     "mother", "area",       "money",  "story",
      "fact",    "month",   "lot",     "right",    "study",  "book",       "eye",    "job"};
  std::mt19937_64 rng(1234);
  // Weight of rank r is about 1 / (r + 1).
  std::array<double, words.size()> weights{};
  for (std::size_t r = 0; r < words.size(); ++r) weights[r] = 1.0 / static_cast<double>(r + 1);
  std::discrete_distribution<std::size_t> pick(weights.begin(), weights.end());
  std::uniform_int_distribution<int> punct(0, 99);
  std::string out;
  out.reserve(size + 32);
  while (out.size() < size) {
    out += words[pick(rng)];
    const int p = punct(rng);
    out += p < 6 ? ", " : p < 11 ? ".\n" : p < 12 ? ".\n\n" : " ";
  }
  out.resize(size);
  return out;
}

const std::string& prose() {
  static const std::string text = make_prose(kLargestScale * kMebibyte);
  return text;
}

std::string repeat(std::string_view unit, std::size_t times) {
  std::string out;
  out.reserve(unit.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

struct Input {
  std::string haystack;
  std::string needle;
};

// The needle as the benchmark's label: runs of one byte or of one pair of
// bytes are written as powers, other bytes as C escapes where needed.
std::string describe(std::string_view needle) {
  std::string out = "needle ";
  std::size_t i = 0;
  while (i < needle.size()) {
    std::size_t unit = 1;
    std::size_t times = 1;
    for (std::size_t u = 1; u <= 2 && i + u <= needle.size(); ++u) {
      std::size_t t = 1;
      while (i + (t + 1) * u <= needle.size() &&
             needle.substr(i + t * u, u) == needle.substr(i, u)) {
        ++t;
      }
      if (t * u >= 6 && t * u > times * unit) {
        unit = u;
        times = t;
      }
    }
    if (out.size() > 7 && (times > 1 || out.back() == ')')) out += ' ';
    if (times > 1 && unit > 1) out += '(';
    for (unsigned char c : needle.substr(i, unit)) {
      if (c == '\n') {
        out += "\\n";
      } else if (c == ' ') {
        out += "\\x20";
      } else {
        out += static_cast<char>(c);
      }
    }
    if (times > 1) out += (unit > 1 ? ")^" : "^") + std::to_string(times) + ' ';
    i += unit * times;
  }
  return out;
}

// The named inputs, each built once. Every needle here is absent, so each
// search reads its whole haystack.
const Input& input(const std::string& name) {
  static const auto inputs = [] {
    std::vector<std::pair<std::string, Input>> all;
    const std::string_view text = prose();
    for (const char* needle : {"zinc", "jaguar", "kilowatt", "hypothetical", "misunderstanding"}) {
      all.push_back(
          {std::string("prose_1MiB/") + needle, {std::string(text.substr(0, kMebibyte)), needle}});
    }
    all.push_back({"prose_64B/jaguar", {std::string(text.substr(0, 64)), "jaguar"}});
    all.push_back({"prose_1KiB/jaguar", {std::string(text.substr(0, 1024)), "jaguar"}});
    for (std::size_t scale : kScales) {
      const std::string size = std::to_string(scale) + "MiB";
      all.push_back(
          {"run_then_b_" + size, {repeat("a", scale * kMebibyte), repeat("a", 999) + "b"}});
      all.push_back({"periodic_then_c_" + size,
                     {repeat("ab", scale * kMebibyte / 2), repeat("ab", 500) + "c"}});
      // The haystack's four most frequent bytes, repeated, then its rarest
      // byte that still occurs.
      const std::string haystack(text.substr(0, scale * kMebibyte));
      std::array<std::size_t, 256> counts{};
      for (unsigned char c : haystack) ++counts[c];
      std::array<unsigned char, 256> order{};
      for (std::size_t b = 0; b < 256; ++b) order[b] = static_cast<unsigned char>(b);
      std::stable_sort(order.begin(), order.end(),
                       [&](unsigned char a, unsigned char b) { return counts[a] > counts[b]; });
      std::string needle;
      for (int i = 0; i < 31; ++i)
        needle += static_cast<char>(order[static_cast<std::size_t>(i % 4)]);
      const auto rarest = std::find_if(order.rbegin(), order.rend(),
                                       [&](unsigned char b) { return counts[b] != 0; });
      needle += static_cast<char>(*rarest);
      all.push_back({"frequent_then_rare_" + size, {haystack, needle}});
      // Random a/b text: any pair of needle bytes matches a quarter of all
      // positions, so the prefilter gives way to Two-Way.
      std::mt19937_64 rng(5);
      std::string binary(scale * kMebibyte, 'a');
      for (char& c : binary) c = (rng() & 1) != 0 ? 'b' : 'a';
      all.push_back({"binary_random_" + size, {binary, repeat("a", 31) + "b"}});
    }
    for (const auto& [key, in] : all) {
      if (std::string_view(in.haystack).find(in.needle) != std::string_view::npos) {
        std::fprintf(stderr, "benchmark input %s holds its needle\n", key.c_str());
        std::abort();
      }
    }
    return all;
  }();
  for (const auto& [key, in] : inputs) {
    if (key == name) return in;
  }
  std::fprintf(stderr, "no benchmark input %s\n", name.c_str());
  std::abort();
}

void bytes_searched(benchmark::State& state, const Input& in) {
  state.SetLabel(describe(in.needle));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(in.haystack.size()));
}

void BM_contains_text(benchmark::State& state, const std::string& name) {
  const Input& in = input(name);
  for (auto _ : state) {
    // The needle's preparation included, as for a needle met once.
    bool found = Needle(in.needle).found_in(in.haystack);
    benchmark::DoNotOptimize(found);
  }
  bytes_searched(state, in);
}

void BM_memmem(benchmark::State& state, const std::string& name) {
  const Input& in = input(name);
  for (auto _ : state) {
    const void* found =
        memmem(in.haystack.data(), in.haystack.size(), in.needle.data(), in.needle.size());
    benchmark::DoNotOptimize(found);
  }
  bytes_searched(state, in);
}

// The ceiling for any scan of the same buffer: one absent byte.
void BM_memchr(benchmark::State& state, const std::string& name) {
  const Input& in = input(name);
  for (auto _ : state) {
    const void* found = std::memchr(in.haystack.data(), '\x01', in.haystack.size());
    benchmark::DoNotOptimize(found);
  }
  bytes_searched(state, in);
}

// memchr, memmem and contains_text on each input, next to one another.
[[maybe_unused]] const bool kRegistered = [] {
  std::vector<std::string> names = {
      "prose_1MiB/zinc",         "prose_1MiB/jaguar",           "prose_1MiB/kilowatt",
      "prose_1MiB/hypothetical", "prose_1MiB/misunderstanding", "prose_64B/jaguar",
      "prose_1KiB/jaguar"};
  for (const char* base : kAdversarial) {
    for (std::size_t scale : kScales) {
      names.push_back(std::string(base) + "_" + std::to_string(scale) + "MiB");
    }
  }
  for (const std::string& name : names) {
    const std::string prefix = "contains_text/" + name;
    benchmark::RegisterBenchmark(prefix + "/memchr", BM_memchr, name);
    benchmark::RegisterBenchmark(prefix + "/memmem", BM_memmem, name);
    benchmark::RegisterBenchmark(prefix + "/contains_text", BM_contains_text, name);
  }
  return true;
}();

}  // namespace
