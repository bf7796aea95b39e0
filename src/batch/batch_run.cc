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

// One round of texts: their forms, read attached, and their scores.
struct Round {
  Vector<scoring::ScoreText> views;
  Vector<float> scores;
  std::size_t base = 0;
  std::size_t count = 0;     // texts in the round
  std::size_t readable = 0;  // those before the first that is not a `str`
  std::size_t bytes = 0;
};

// How often the calling thread looks at the clock between its texts: after
// so many texts, or sooner after so many bytes of them.
constexpr std::size_t kTextsBetweenClockReads = 16;
constexpr std::size_t kBytesBetweenClockReads = std::size_t{256} * 1024;

std::size_t text_bytes(const scoring::ScoreText& text) noexcept {
  if (const auto* units = std::get_if<scoring::FixedWidthText>(&text)) {
    return units->length * units->width;
  }
  return std::get<std::string_view>(text).size();
}

const void* text_start(const scoring::ScoreText& text) noexcept {
  if (const auto* units = std::get_if<scoring::FixedWidthText>(&text)) return units->data;
  return std::get<std::string_view>(text).data();
}

// How far ahead of its text a scoring thread asks for the next texts' bytes.
constexpr std::size_t kTextsAhead = 8;

// Reads the forms of texts [base, base + count) into `round`, attached;
// the first that is not a `str` ends the reading.
void read_round(const TextBatch& texts, std::size_t base, std::size_t count, Round& round) {
  round.base = base;
  round.count = count;
  round.readable = count;
  round.bytes = 0;
  for (std::size_t i = 0; i < count; ++i) {
    // Without the general reading's result type, which carries an error.
    const auto text = module::str_text(texts.at(base + i));
    if (!text) {
      round.readable = i;
      return;
    }
    round.views[i] = *text;
    round.bytes += text_bytes(round.views[i]);
  }
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
    for (std::size_t i = 0; i < round.count && taken_ok; ++i) {
      taken_ok =
          take(context, round.base + i, std::span<const float>(round.scores.data() + i * q, q));
    }
  };
  if (n == 0) return {};
  // The threads of every round: each started once, when a round first
  // needs it.
  LoopTeam team;
  read_round(texts, 0, std::min(size, n), rounds[0]);
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
      // least every kPollInterval: between its ranges, between the texts
      // of its own range, and while it waits for the others.
      const std::thread::id caller = std::this_thread::get_id();
      auto last_poll = std::chrono::steady_clock::now();
      const auto poll = [&] {
        last_poll = std::chrono::steady_clock::now();
        return detached.attached([&] {
          if (PyErr_CheckSignals() < 0) interrupted = true;
          return !interrupted;
        });
      };
      // What the calling thread scored since it last read the clock. It
      // writes this per text, so it has a cache line of its own: on a line
      // the other threads read per text it would bounce between the cores.
      struct alignas(64) Unread {
        std::size_t texts = 0;
        std::size_t bytes = 0;
      } unread;
      const auto work = [&](std::size_t begin, std::size_t end, const std::atomic<bool>& stop) {
        const bool on_caller = std::this_thread::get_id() == caller;
        // Read once a range, into registers: per text, the thread reads
        // nothing of the calling thread's stack.
        const scoring::PreparedQuery* const* const query_list = queries.data();
        const scoring::ScoreText* const views = round.views.data();
        float* const scores = round.scores.data();
        const std::size_t readable = round.readable;
        const std::size_t per_text = q;
        for (std::size_t pair = begin; pair < end; ++pair) {
          // A stop (Ctrl-C) is seen at the next text.
          if (stop.load(std::memory_order_relaxed)) return false;
          // One query is the common case: no division per text.
          const std::size_t i = per_text == 1 ? pair : pair / per_text;
          if (on_caller) {
            unread.bytes += text_bytes(views[i]);
            if (++unread.texts >= kTextsBetweenClockReads ||
                unread.bytes >= kBytesBetweenClockReads) {
              unread = {};
              if (std::chrono::steady_clock::now() - last_poll >= kPollInterval && !poll()) {
                return false;
              }
            }
          }
          // A text read on the calling thread is in its cache, not in this
          // thread's: asked for a few texts ahead, it is here when needed.
          if (i + kTextsAhead < readable) __builtin_prefetch(text_start(views[i + kTextsAhead]));
          const auto scored =
              query_list[per_text == 1 ? 0 : pair % per_text]->score_if_readable(views[i]);
          if (scored) {
            scores[pair] = *scored;
            continue;
          }
          // Only a surrogate can fail a text: the query has words.
          std::size_t lowest = refused.load(std::memory_order_relaxed);
          while (i < lowest && !refused.compare_exchange_weak(lowest, i)) {
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
      static_cast<void>(team.parallel_for(round.readable * q, threads, work, poll, prologue));
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
