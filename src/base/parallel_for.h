// A loop over [0, count) shared by several threads, the caller among them.
//
// Contract: `parallel_for(count, threads, work, poll)` hands the indices of
// [0, count) to `work(begin, end, stop)` in disjoint, non-empty ranges,
// each index at most once, and every index exactly once unless the loop is
// stopped. It runs on `threads` threads in all, the calling thread one of
// them: `threads - 1` are started for the call and joined before it
// returns; 0 counts as 1, and more threads than indices as one per index,
// so `threads == 1` (or `count <= 1`) runs everything on the caller and
// starts no thread. `count == 0` calls nothing and gives `Completed`.
//
// Threads take ranges one at a time from one shared counter, in guided
// sizes: a share of what is left, left / (4 * threads), kept within
// [1, kMaxChunk]. Ranges are long at first and single items near the end,
// and nothing is assigned ahead, so an item that costs far more than the
// rest holds back only the thread that runs it while the others take
// everything else.
//
// Stopping: `work` returns false to stop the loop. `poll()` runs on the
// calling thread only, between its ranges once kPollInterval has passed
// since the call began or since the last poll returned, and while the
// caller waits for the other threads, at least every kPollInterval;
// false stops the loop. Once a stop is asked no thread takes another range,
// `poll` is not called again, and `stop` (a `const std::atomic<bool>&`)
// reads true, so a long item may cut itself short; ranges already taken run
// until `work` returns. `work` may also take just (begin, end).
//
// Prologue: the form with `prologue` calls `prologue()` once on the calling
// thread after the other threads have started and before the caller takes
// a range, so that the caller can do work of its own while they begin on
// the loop (`count == 0` calls it too). An exception from it is a fault
// like one from `poll`.
//
// Faults: an exception from `work` on any thread, or from `poll`, is caught
// on the thread that raised it and stops the loop. The first one is kept
// and rethrown on the calling thread after every thread has been joined;
// any later one is dropped. When a thread cannot be started
// (`std::system_error`, `std::bad_alloc`) the loop runs on those that did,
// or on the caller alone. No thread outlives the call, on any path.
//
// The same `work` object runs on several threads at once, so it must be
// safe for that; `poll` runs on the caller only. The call allocates only to
// start its threads (their handles and start records), nothing per range or
// item; each thread keeps its own state on its stack.
//
// Returns `Completed` when no stop was asked (every index was handed out
// and every range returned true), otherwise what asked for the stop first.
// Complexity: O(count / kMaxChunk + threads * log(count)) ranges, each
// taken with one compare-and-swap on the shared counter; `threads - 1`
// thread starts and joins.
#pragma once

#include <atomic>
#include <chrono>
#include <concepts>
#include <cstddef>
#include <functional>
#include <memory>
#include <type_traits>

namespace corvane {

// The most indices one range holds: bounds how long the caller may go
// between polls when items are cheap.
inline constexpr std::size_t kMaxChunk = 256;
// How often the caller polls, at least, while the loop runs.
inline constexpr std::chrono::milliseconds kPollInterval{50};

enum class ParallelOutcome {
  Completed,      // every index handed out, every range returned true
  StoppedByWork,  // a range of `work` returned false
  StoppedByPoll,  // `poll()` returned false
};

// `work(begin, end, stop)` or `work(begin, end)`, returning whether to go on.
template <class Work>
concept RangeWork =
    std::is_invocable_r_v<bool, Work&, std::size_t, std::size_t, const std::atomic<bool>&> ||
    std::is_invocable_r_v<bool, Work&, std::size_t, std::size_t>;

// `poll()`, returning whether to go on.
template <class Poll>
concept LoopPoll = std::is_invocable_r_v<bool, Poll&>;

namespace detail {

// The loop's callables with their types erased, so that the threads'
// machinery is compiled once. `poll` null: nothing to poll.
struct RangeJob {
  void* work;
  bool (*run_range)(void* work, std::size_t begin, std::size_t end, const std::atomic<bool>& stop);
  void* poll;
  bool (*run_poll)(void* poll);
  void* prologue = nullptr;
  void (*run_prologue)(void* prologue) = nullptr;
};

ParallelOutcome run_range_job(std::size_t count, std::size_t threads, const RangeJob& job);

struct LoopTeamState;

template <class T>
void* erase(T& object) noexcept {
  return const_cast<void*>(static_cast<const void*>(std::addressof(object)));
}

template <class Work>
bool run_range(void* work, std::size_t begin, std::size_t end, const std::atomic<bool>& stop) {
  auto& f = *static_cast<Work*>(work);
  if constexpr (std::is_invocable_r_v<bool, Work&, std::size_t, std::size_t,
                                      const std::atomic<bool>&>) {
    return static_cast<bool>(std::invoke(f, begin, end, stop));
  } else {
    return static_cast<bool>(std::invoke(f, begin, end));
  }
}

template <class Poll>
bool run_poll(void* poll) {
  return static_cast<bool>(std::invoke(*static_cast<Poll*>(poll)));
}

template <class Prologue>
void run_prologue(void* prologue) {
  std::invoke(*static_cast<Prologue*>(prologue));
}

// The job of a loop with a prologue.
template <class Work, class Poll, class Prologue>
RangeJob job_of(Work& work, Poll& poll, Prologue& prologue) noexcept {
  return {erase(work),     &run_range<Work>, erase(poll),
          &run_poll<Poll>, erase(prologue),  &run_prologue<Prologue>};
}

}  // namespace detail

// Threads for several loops in turn, such as the rounds of a batch: a
// helper starts when a loop first needs it and waits between loops until
// the team ends, so that each thread is started once, not once a loop.
// `parallel_for` runs one loop as the free function does, with the team's
// helpers (starting more when a loop wants more; fewer when the system
// refuses one), from one calling thread at a time. The team's end joins
// every helper; no thread outlives it. A helper that waits for the next
// loop, and a caller that waits for the helpers, spin for up to 100
// microseconds before they sleep, so that loops in quick succession do not
// pay for waking threads.
class LoopTeam {
 public:
  LoopTeam();
  LoopTeam(const LoopTeam&) = delete;
  LoopTeam& operator=(const LoopTeam&) = delete;
  ~LoopTeam();

  template <class Work, class Poll, class Prologue>
    requires RangeWork<std::remove_reference_t<Work>> && LoopPoll<std::remove_reference_t<Poll>> &&
             std::is_invocable_v<std::remove_reference_t<Prologue>&>
  [[nodiscard]] ParallelOutcome parallel_for(std::size_t count, std::size_t threads, Work&& work,
                                             Poll&& poll, Prologue&& prologue) {
    return run(count, threads, detail::job_of(work, poll, prologue));
  }

 private:
  friend ParallelOutcome detail::run_range_job(std::size_t, std::size_t, const detail::RangeJob&);
  ParallelOutcome run(std::size_t count, std::size_t threads, const detail::RangeJob& job);

  std::unique_ptr<detail::LoopTeamState> state_;
};

template <class Work, class Poll>
  requires RangeWork<std::remove_reference_t<Work>> && LoopPoll<std::remove_reference_t<Poll>>
[[nodiscard]] ParallelOutcome parallel_for(std::size_t count, std::size_t threads, Work&& work,
                                           Poll&& poll) {
  using WorkType = std::remove_reference_t<Work>;
  using PollType = std::remove_reference_t<Poll>;
  const detail::RangeJob job{detail::erase(work), &detail::run_range<WorkType>, detail::erase(poll),
                             &detail::run_poll<PollType>};
  return detail::run_range_job(count, threads, job);
}

// The loop with a prologue on the calling thread.
template <class Work, class Poll, class Prologue>
  requires RangeWork<std::remove_reference_t<Work>> && LoopPoll<std::remove_reference_t<Poll>> &&
           std::is_invocable_v<std::remove_reference_t<Prologue>&>
[[nodiscard]] ParallelOutcome parallel_for(std::size_t count, std::size_t threads, Work&& work,
                                           Poll&& poll, Prologue&& prologue) {
  return detail::run_range_job(count, threads, detail::job_of(work, poll, prologue));
}

// The loop with nothing to poll: the caller waits for the others unwoken.
template <class Work>
  requires RangeWork<std::remove_reference_t<Work>>
[[nodiscard]] ParallelOutcome parallel_for(std::size_t count, std::size_t threads, Work&& work) {
  using WorkType = std::remove_reference_t<Work>;
  const detail::RangeJob job{detail::erase(work), &detail::run_range<WorkType>, nullptr, nullptr};
  return detail::run_range_job(count, threads, job);
}

}  // namespace corvane
