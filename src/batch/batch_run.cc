#include "batch/batch_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <thread>
#include <utility>
#include <variant>

#include "base/allocation.h"
#include "base/parallel_for.h"
#include "base/usable_cpus.h"
#include "boundary/errors/object_text.h"
#include "boundary/faults/internal_fault.h"
#include "module/argument_text.h"

namespace corvane::batch {

using boundary::fetch_pending;
using boundary::lazy_error_with_message;
using boundary::PyErr;

namespace {

// A round is shared out only where each thread gets this many bytes of
// text: below that, starting a thread costs more than it saves.
constexpr std::size_t kBytesPerThread = std::size_t{64} * 1024;

// The error `lexical_score` raises for text `object`, with a note naming
// its index.
PyErr refusal_at(PyObject* object, std::size_t index) {
  return with_index_note(text_refusal(object), "while scoring the text at index", index);
}

// The calling thread detached for as long as this lives; `attached(f)`
// runs f attached again.
class Detached {
 public:
  Detached() noexcept : state_(PyEval_SaveThread()) {}
  Detached(const Detached&) = delete;
  Detached& operator=(const Detached&) = delete;
  ~Detached() { PyEval_RestoreThread(state_); }

  template <class F>
  auto attached(F&& f) {
    PyEval_RestoreThread(state_);
    struct Again {
      PyThreadState*& state;
      ~Again() { state = PyEval_SaveThread(); }
    } again{state_};
    return f();
  }

 private:
  PyThreadState* state_;
};

}  // namespace

PyErr text_refusal(PyObject* object) {
  auto checked = module::argument_text("text", object);
  if (checked) {
    throw boundary::InternalFault(
        Text("a text the scoring refused for a surrogate has none by the interpreter's test"));
  }
  return std::move(checked.error());
}

PyErr with_index_note(PyErr error, const char* what, std::size_t index) {
  boundary::normalize(error);
  boundary::OwnedRef note = boundary::OwnedRef::steal(PyUnicode_FromFormat("%s %zu", what, index));
  if (!note) return fetch_pending();
  boundary::OwnedRef added = boundary::OwnedRef::steal(
      PyObject_CallMethod(boundary::exception_value(error), "add_note", "O", note.get()));
  if (!added) return fetch_pending();
  return error;
}

std::expected<std::size_t, PyErr> workers_from(PyObject* object) {
  if (object == nullptr) return 1;
  if (!PyLong_Check(object) || PyBool_Check(object)) {
    Text message("workers must be an int, not ");
    message.append(Py_TYPE(object)->tp_name);
    return std::unexpected(lazy_error_with_message(PyExc_TypeError, std::move(message)));
  }
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(object, &overflow);
  if (n == -1 && PyErr_Occurred()) return std::unexpected(fetch_pending());
  if (overflow == 0 && n == -1) return usable_cpu_count();
  if (overflow != 0 || n < 1) {
    return std::unexpected(lazy_error_with_message(
        PyExc_ValueError, Text("workers must be -1 (every CPU) or at least 1")));
  }
  return static_cast<std::size_t>(n);
}

namespace {

// One round of texts: their forms, read attached, and their scores, query
// by query: query j's score for text t at scores[j * count + t].
struct Round {
  Vector<scoring::ScoreText> views;
  Vector<float> scores;
  std::size_t base = 0;
  std::size_t count = 0;     // texts in the round
  std::size_t readable = 0;  // those before the first that is not a `str`
  std::size_t bytes = 0;
};

// A thread scores its range in pieces of so many texts, or fewer where
// they hold so many bytes: between pieces it looks for a stop, and the
// calling thread at the clock.
constexpr std::size_t kPieceTexts = 16;
// The calling thread reads the clock every so many pieces, not at each: a
// read costs half as much as scoring an ASCII title, and the interval
// between polls is thousands of pieces long.
constexpr std::size_t kPiecesPerClockRead = 8;
// How far ahead of the text it reads a round's reading asks for the next
// text objects' headers.
constexpr std::size_t kObjectsAhead = 8;
constexpr std::size_t kPieceBytes = std::size_t{256} * 1024;

using scoring::text_bytes;

// The end of the piece that starts at `begin` (before `end`).
std::size_t piece_end(const scoring::ScoreText* views, std::size_t begin, std::size_t end,
                      std::size_t queries) noexcept {
  std::size_t at = begin;
  std::size_t bytes = 0;
  do {
    bytes += text_bytes(views[at]) * queries;
    ++at;
  } while (at < end && at - begin < kPieceTexts && bytes < kPieceBytes);
  return at;
}

// Reads the forms of texts [base, base + count) into `round`, attached;
// the first that is not a `str` ends the reading and the round.
void read_round(const TextBatch& texts, std::size_t base, std::size_t count, Round& round) {
  round.base = base;
  round.count = count;
  std::size_t bytes = 0;
  std::size_t i = 0;
  for (; i < count; ++i) {
    // The objects are asked for a few texts ahead: each is read here first.
    if (i + kObjectsAhead < count) __builtin_prefetch(texts.at(base + i + kObjectsAhead));
    // Without the general reading's result type, which carries an error.
    if (!module::str_text(texts.at(base + i), round.views[i])) break;
    bytes += text_bytes(round.views[i]);
  }
  round.readable = i;
  round.bytes = bytes;
}

}  // namespace

// Rounds go through a pipeline of two: while the threads score round k,
// the calling thread, attached, hands out the scores of round k - 1 and
// reads the forms of round k + 1, so that what must be done attached
// overlaps the scoring instead of adding to it.
std::expected<void, PyErr> score_batch(std::span<const scoring::PreparedQuery* const> queries,
                                       const TextBatch& texts, std::size_t workers, void* context,
                                       TakeScores take) {
  const std::size_t n = texts.size();
  const std::size_t q = queries.size();
  const std::size_t size = std::min(n, kRoundTexts);
  Round rounds[2];
  for (Round& round : rounds) {
    round.views.resize(size);
    round.scores.resize(size * q);
  }
  // Hands out the scores of a round that was scored whole.
  bool taken_ok = true;
  const auto hand_out = [&](const Round& round) {
    taken_ok = take(context, round.base, round.count,
                    std::span<const float>(round.scores.data(), round.count * q));
  };
  if (n == 0) return {};
  // The threads of every round: each started once, when a round first
  // needs it.
  LoopTeam team;
  read_round(texts, 0, size, rounds[0]);
  // When the calling thread last let the interpreter run its signal
  // handlers: kept across rounds, which may each be shorter than the
  // interval.
  auto last_poll = std::chrono::steady_clock::now();
  for (std::size_t k = 0;; ++k) {
    Round& round = rounds[k % 2];
    Round& other = rounds[(k + 1) % 2];
    const bool previous = k > 0;
    const std::size_t next_base = round.base + round.count;
    const bool next = round.readable == round.count && next_base < n;
    const std::size_t threads = std::clamp<std::size_t>(round.bytes / kBytesPerThread, 1, workers);
    std::atomic<std::size_t> refused{std::numeric_limits<std::size_t>::max()};
    bool interrupted = false;
    {
      Detached detached;
      // The calling thread lets the interpreter run its signal handlers at
      // least every kPollInterval: between its ranges, between the pieces
      // of its own range, and while it waits for the others.
      const std::thread::id caller = std::this_thread::get_id();
      const auto poll = [&] {
        last_poll = std::chrono::steady_clock::now();
        return detached.attached([&] {
          if (PyErr_CheckSignals() < 0) interrupted = true;
          return !interrupted;
        });
      };
      const auto work = [&](std::size_t begin, std::size_t end, const std::atomic<bool>& stop) {
        const bool on_caller = std::this_thread::get_id() == caller;
        // Read once a range, into registers: per piece, the thread reads
        // nothing else of the calling thread's stack (only the stop flag),
        // whose lines that thread writes.
        const scoring::PreparedQuery* const* const query_list = queries.data();
        const std::size_t query_count = q;
        const scoring::ScoreText* const views = round.views.data();
        float* const scores = round.scores.data();
        const std::size_t stride = round.count;
        std::size_t pieces = 0;
        for (std::size_t piece = begin; piece < end;) {
          // A stop (Ctrl-C) is seen at the next piece.
          if (stop.load(std::memory_order_relaxed)) return false;
          const std::size_t last = piece_end(views, piece, end, query_count);
          const std::span<const scoring::ScoreText> run(views + piece, last - piece);
          for (std::size_t j = 0; j < query_count; ++j) {
            const std::size_t scored = query_list[j]->score_each(run, scores + j * stride + piece);
            if (scored == run.size()) continue;
            // Only a surrogate can fail a text, for every query alike. The
            // rest of the range lies beyond it, so it cannot hold a lower
            // index: the range ends here.
            const std::size_t i = piece + scored;
            std::size_t lowest = refused.load(std::memory_order_relaxed);
            while (i < lowest && !refused.compare_exchange_weak(lowest, i)) {
            }
            return true;
          }
          piece = last;
          if (on_caller && ++pieces % kPiecesPerClockRead == 0 &&
              std::chrono::steady_clock::now() - last_poll >= kPollInterval && !poll()) {
            return false;
          }
        }
        return true;
      };
      // While the others start on this round: the last round's scores out,
      // the next round's forms in.
      const auto prologue = [&] {
        if (!previous && !next) return;
        detached.attached([&] {
          if (previous) hand_out(other);
          if (next && taken_ok) read_round(texts, next_base, std::min(size, n - next_base), other);
        });
      };
      static_cast<void>(team.parallel_for(round.readable, threads, work, poll, prologue));
    }
    if (interrupted || !taken_ok) return std::unexpected(fetch_pending());
    const std::size_t first_refused = std::min(refused.load(), round.readable);
    if (first_refused < round.count) {
      return std::unexpected(
          refusal_at(texts.at(round.base + first_refused), round.base + first_refused));
    }
    if (!next) {
      hand_out(round);
      if (!taken_ok) return std::unexpected(fetch_pending());
      return {};
    }
  }
}

}  // namespace corvane::batch
