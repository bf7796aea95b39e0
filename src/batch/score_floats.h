// The float objects of one query's scores, shared across a batch.
//
// Contract (thread attached): a query of n words has at most n + 1 scores,
// hit_ratio(h, n) for h hits, so `ScoreFloats(n)` hands out, for a score
// of that form, a new reference to one float object made at its first use
// in the batch, and a fresh float otherwise (a query too long for the
// table, or a value not of that form). `get(score)` gives a new reference,
// or null with the interpreter's error pending. Floats are immutable: a
// caller sees equal values either way, only fewer objects.
// Complexity: O(1) a score; at most kMaxShared + 1 floats kept.
#pragma once

#include <Python.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "boundary/owned_ref.h"
#include "scoring/lexical_score.h"

namespace corvane::batch {

class ScoreFloats {
 public:
  static constexpr std::size_t kMaxShared = 64;

  explicit ScoreFloats(std::size_t words) noexcept : words_(words) {
    if (words_ > kMaxShared) return;
    for (std::size_t hits = 0; hits <= words_; ++hits) {
      bits_[hits] = std::bit_cast<std::uint32_t>(scoring::hit_ratio(hits, words_));
    }
  }

  PyObject* get(float score) {
    if (words_ <= kMaxShared && score >= 0.0f && score <= 1.0f) {
      // The hits that give this score, if any do: score * n lies within a
      // rounding error of them, so cut it gives them or one less (no
      // library call to round, as `std::lround` makes). The comparison
      // with their ratio, made once, decides.
      const std::uint32_t bits = std::bit_cast<std::uint32_t>(score);
      std::size_t hits = static_cast<std::size_t>(score * static_cast<float>(words_));
      if (bits_[hits] != bits && hits < words_) ++hits;
      if (bits_[hits] == bits) {
        boundary::OwnedRef& shared = shared_[hits];
        if (!shared) {
          shared = boundary::OwnedRef::steal(PyFloat_FromDouble(static_cast<double>(score)));
        }
        return shared ? Py_NewRef(shared.get()) : nullptr;
      }
    }
    return PyFloat_FromDouble(static_cast<double>(score));
  }

 private:
  std::size_t words_;
  std::array<std::uint32_t, kMaxShared + 1> bits_{};  // each ratio's bits
  std::array<boundary::OwnedRef, kMaxShared + 1> shared_;
};

}  // namespace corvane::batch
