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
  auto checked = module::argument_text("text", object);
  if (checked) {
    throw boundary::InternalFault(
        Text("a text the scoring refused for a surrogate has none by the interpreter's test"));
  }
  return with_index_note(std::move(checked.error()), "while scoring the text at index", index);
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

std::expected<void, PyErr> score_batch(std::span<const scoring::PreparedQuery* const> queries,
                                       const TextBatch& texts, std::size_t workers, void* context,
                                       TakeScores take) {
  const std::size_t n = texts.size();
  const std::size_t round = std::min(n, kRoundTexts);
  const std::size_t q = queries.size();
  Vector<scoring::ScoreText> views(round);
  Vector<float> scores(round * q);
  for (std::size_t base = 0; base < n; base += round) {
    const std::size_t count = std::min(round, n - base);
    // The forms of this round's texts, read attached; the first that is
    // not a `str` ends the round before it.
    std::size_t readable = count;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i) {
      auto text =
          module::argument_text("text", texts.at(base + i), module::Surrogates::LeftToTheCore);
      if (!text) {
        readable = i;
        break;
      }
      views[i] = *text;
      if (const auto* units = std::get_if<scoring::FixedWidthText>(&views[i])) {
        bytes += units->length * units->width;
      } else {
        bytes += std::get<std::string_view>(views[i]).size();
      }
    }
    const std::size_t threads = std::clamp<std::size_t>(bytes / kBytesPerThread, 1, workers);
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
      const auto work = [&](std::size_t begin, std::size_t end, const std::atomic<bool>& stop) {
        const bool on_caller = std::this_thread::get_id() == caller;
        for (std::size_t k = begin; k < end; ++k) {
          // A stop (Ctrl-C) is seen at the next text.
          if (stop.load(std::memory_order_relaxed)) return false;
          if (on_caller && std::chrono::steady_clock::now() - last_poll >= kPollInterval &&
              !poll()) {
            return false;
          }
          const std::size_t i = k / q;
          const auto scored = queries[k % q]->score(views[i]);
          if (scored) {
            scores[k] = *scored;
            continue;
          }
          // Only a surrogate can fail a text: the query has words.
          std::size_t lowest = refused.load(std::memory_order_relaxed);
          while (i < lowest && !refused.compare_exchange_weak(lowest, i)) {
          }
        }
        return true;
      };
      static_cast<void>(parallel_for(readable * q, threads, work, poll));
    }
    if (interrupted) return std::unexpected(fetch_pending());
    const std::size_t first_refused = std::min(refused.load(), readable);
    if (first_refused < count)
      return std::unexpected(refusal_at(texts.at(base + first_refused), base + first_refused));
    for (std::size_t i = 0; i < count; ++i) {
      if (!take(context, base + i, std::span<const float>(scores.data() + i * q, q))) {
        return std::unexpected(fetch_pending());
      }
    }
  }
  return {};
}

}  // namespace corvane::batch
