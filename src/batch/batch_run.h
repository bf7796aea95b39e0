// Scoring one prepared query, or several, against a batch of texts, with
// the interpreter left free while the texts are scored.
//
// Contract (thread attached, `texts` a `TextBatch`):
// - `workers_from(object)` reads a `workers` argument: an `int` n >= 1
//   means n threads, -1 every CPU this process may run on, and null (not
//   given) 1; 0 and below -1 give ValueError, anything not an `int`
//   TypeError.
// - `score_batch(queries, texts, workers, take)` scores every text against
//   every query and hands the scores to `take(first, count, scores)` on
//   the calling thread, attached, a round at a time, in text order: texts
//   [first, first + count), query j's score for text first + t at
//   scores[j * count + t]. Rounds hold kRoundTexts texts (the last fewer).
//   For each round it reads
//   the texts' forms while attached, then detaches and scores them on up
//   to `workers` threads (fewer for rounds too small to share), the
//   calling thread among them; the other Python threads run meanwhile.
//   While detached, the calling thread attaches at least every 50 ms to
//   let the interpreter run its signal handlers; one that raises (Ctrl-C's
//   KeyboardInterrupt) stops the scoring at the next piece of a thread's
//   texts (at most 16 texts, fewer once they hold 256 KiB) and is the
//   result. A text that `lexical_score` would refuse (not a `str`, or
//   holding a lone surrogate) stops the batch after its round: the result
//   is the error `lexical_score` raises for it, for the lowest such index,
//   with a note "while scoring the text at index N"; no score of that round or after is
//   handed out. An internal fault on any thread comes back as the fault
//   on the calling thread, once every thread has stopped.
// Memory: the views of one round and the scores of one round, and each
// thread's bounded scratch; no per-text allocation, no UTF-8 copy kept on
// any text.
#pragma once

#include <Python.h>

#include <cstddef>
#include <expected>
#include <span>

#include "batch/text_batch.h"
#include "boundary/errors/py_err.h"
#include "scoring/prepared_query.h"

namespace corvane::batch {

inline constexpr std::size_t kRoundTexts = 4096;

std::expected<std::size_t, boundary::PyErr> workers_from(PyObject* object);

// The error `lexical_score` raises for a text that the scoring refused
// (read with its surrogates left to the core): the interpreter's own, from
// asking for the text again with the test made; a fault if that finds
// nothing to refuse.
boundary::PyErr text_refusal(PyObject* object);

// `error` with a note "<what> <index>" added (`add_note`), or the error
// that adding it raised.
boundary::PyErr with_index_note(boundary::PyErr error, const char* what, std::size_t index);

using TakeScores = bool (*)(void* context, std::size_t first, std::size_t count,
                            std::span<const float> scores);

std::expected<void, boundary::PyErr> score_batch(
    std::span<const scoring::PreparedQuery* const> queries, const TextBatch& texts,
    std::size_t workers, void* context, TakeScores take);

template <class Take>
std::expected<void, boundary::PyErr> score_batch(
    std::span<const scoring::PreparedQuery* const> queries, const TextBatch& texts,
    std::size_t workers, Take&& take) {
  return score_batch(
      queries, texts, workers, &take,
      [](void* context, std::size_t first, std::size_t count, std::span<const float> scores) {
        return (*static_cast<std::remove_reference_t<Take>*>(context))(first, count, scores);
      });
}

}  // namespace corvane::batch
