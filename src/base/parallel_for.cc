#include "base/parallel_for.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "base/allocation.h"

namespace corvane::detail {

using Clock = std::chrono::steady_clock;

namespace {

// How long a thread that waits for another spins before it sleeps. Loops
// of a team follow each other within microseconds, and so do the ends of
// a loop's threads; waking a sleeping thread costs tens of microseconds
// (more under a hypervisor), a round's worth of texts.
constexpr auto kSpinBeforeSleep = std::chrono::microseconds{100};

// A hint to the core that this thread is spinning.
inline void relax() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// Spins until `done()` or kSpinBeforeSleep has passed; gives `done()`. It
// yields the core now and then: where the thread it waits for shares this
// core (a machine with more threads than free cores), only that lets it on.
template <class Done>
bool spin_until(Done&& done) noexcept {
  const Clock::time_point until = Clock::now() + kSpinBeforeSleep;
  for (;;) {
    for (int i = 0; i < 64; ++i) {
      if (done()) return true;
      relax();
    }
    if (Clock::now() >= until) return done();
    std::this_thread::yield();
  }
}

struct Range {
  std::size_t begin = 0;
  std::size_t end = 0;
};

}  // namespace

// What the threads of one call share. It lives on the caller's stack and
// outlives every thread that sees it: they are all joined before it goes.
class SharedLoop {
 public:
  SharedLoop(std::size_t count, std::size_t threads, const RangeJob& job) noexcept
      : count_(count), threads_(threads), job_(job) {}

  // Runs ranges until none is left or a stop is asked. The caller passes
  // when it last polled, and polls between its ranges; a helper passes null.
  void run_ranges(Clock::time_point* last_poll) noexcept {
    try {
      for (Range range = take(); range.begin != range.end; range = take()) {
        if (!job_.run_range(job_.work, range.begin, range.end, stop_)) {
          ask_stop(ParallelOutcome::StoppedByWork);
          return;
        }
        if (last_poll != nullptr && Clock::now() - *last_poll >= kPollInterval) {
          poll(*last_poll);
        }
      }
    } catch (...) {
      fail(std::current_exception());
    }
  }

  // What a helper thread does, from its start to its end.
  void help() noexcept {
    run_ranges(nullptr);
    const std::lock_guard lock(mutex_);
    // Release: the caller that sees the count fall sees this helper's work.
    helpers_running_.fetch_sub(1, std::memory_order_release);
    helper_done_.notify_one();
  }

  // Counts the helpers before they are woken for the loop, so that the
  // caller waits for each however soon it ends.
  void helpers_starting(std::size_t helpers) {
    const std::lock_guard lock(mutex_);
    helpers_running_.fetch_add(helpers, std::memory_order_relaxed);
  }

  // Waits for every helper to finish its ranges, polling at least every
  // kPollInterval until a stop is asked.
  void wait_for_helpers(Clock::time_point& last_poll) {
    const auto all_done = [this] { return helpers_running_.load(std::memory_order_acquire) == 0; };
    if (spin_until(all_done)) return;
    std::unique_lock lock(mutex_);
    while (!all_done()) {
      if (job_.poll == nullptr || stop_requested()) {
        helper_done_.wait(lock, all_done);
        return;
      }
      if (helper_done_.wait_until(lock, last_poll + kPollInterval, all_done)) return;
      lock.unlock();
      poll(last_poll);
      lock.lock();
    }
  }

  // Waits for every helper to finish its ranges, polling nothing.
  void wait_for_helpers_unpolled() noexcept {
    std::unique_lock lock(mutex_);
    helper_done_.wait(lock,
                      [this] { return helpers_running_.load(std::memory_order_acquire) == 0; });
  }

  // The caller's prologue, if any; an exception stops the loop.
  void prologue() noexcept {
    if (job_.prologue == nullptr) return;
    try {
      job_.run_prologue(job_.prologue);
    } catch (...) {
      fail(std::current_exception());
    }
  }

  // Stops the loop without an outcome of its own: for leaving early.
  void halt() noexcept { stop_.store(true, std::memory_order_release); }

  // After every helper is joined: the kept exception, or the outcome.
  ParallelOutcome finish() const {
    if (error_) std::rethrow_exception(error_);
    return outcome_.load(std::memory_order_relaxed);
  }

 private:
  bool stop_requested() const noexcept { return stop_.load(std::memory_order_acquire); }

  // The next range, or an empty one once every index is handed out or a
  // stop is asked.
  Range take() noexcept {
    if (stop_requested()) return {};
    std::size_t begin = next_.load(std::memory_order_relaxed);
    std::size_t end = 0;
    do {
      if (begin >= count_) return {};
      const std::size_t share = (count_ - begin) / threads_ / 4;
      end = begin + std::clamp<std::size_t>(share, 1, kMaxChunk);
    } while (!next_.compare_exchange_weak(begin, end, std::memory_order_relaxed));
    return {begin, end};
  }

  // Polls unless there is nothing to poll or a stop was asked; false or an
  // exception stops the loop.
  void poll(Clock::time_point& last_poll) noexcept {
    if (job_.poll == nullptr || stop_requested()) return;
    try {
      const bool go_on = job_.run_poll(job_.poll);
      last_poll = Clock::now();
      if (!go_on) ask_stop(ParallelOutcome::StoppedByPoll);
    } catch (...) {
      fail(std::current_exception());
    }
  }

  void ask_stop(ParallelOutcome why) noexcept {
    auto expected = ParallelOutcome::Completed;
    outcome_.compare_exchange_strong(expected, why, std::memory_order_relaxed);
    stop_.store(true, std::memory_order_release);
  }

  // Keeps the first exception; the caller reads it only after the joins.
  void fail(std::exception_ptr error) noexcept {
    if (!failed_.exchange(true, std::memory_order_acq_rel)) error_ = std::move(error);
    stop_.store(true, std::memory_order_release);
  }

  const std::size_t count_;
  const std::size_t threads_;
  const RangeJob& job_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stop_{false};
  std::atomic<ParallelOutcome> outcome_{ParallelOutcome::Completed};
  std::atomic<bool> failed_{false};
  std::exception_ptr error_;
  std::mutex mutex_;
  std::condition_variable helper_done_;
  // Changed under mutex_, read without it by a caller that spins.
  std::atomic<std::size_t> helpers_running_{0};
};

// The team's helpers and what they share with the caller. A helper waits
// for a new loop (a new generation), runs its ranges when it is among the
// loop's helpers, and waits again, until the team ends.
struct LoopTeamState {
  std::mutex mutex;
  std::condition_variable wake;
  // Changed under mutex, read without it by a helper that spins.
  std::atomic<std::uint64_t> generation{0};
  SharedLoop* loop = nullptr;       // the current loop; guarded by mutex
  std::size_t loop_helpers = 0;     // how many helpers it takes; guarded
  std::atomic<bool> ending{false};  // changed under mutex
  Vector<std::thread> threads;      // the caller's only

  void serve(std::size_t index) noexcept {
    std::uint64_t seen = 0;
    for (;;) {
      SharedLoop* loop = nullptr;
      spin_until([&] {
        return ending.load(std::memory_order_relaxed) ||
               generation.load(std::memory_order_relaxed) != seen;
      });
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return ending || generation != seen; });
        if (ending) return;
        seen = generation.load(std::memory_order_relaxed);
        if (index < loop_helpers) loop = this->loop;
      }
      // The caller waits for this helper before the loop ends, so the loop
      // outlives its ranges here.
      if (loop != nullptr) loop->help();
    }
  }

  // Starts helpers until there are `wanted`, or the system refuses one;
  // gives how many there are.
  std::size_t grow_to(std::size_t wanted) noexcept {
    while (threads.size() < wanted) {
      try {
        threads.emplace_back([this, index = threads.size()] { serve(index); });
      } catch (const std::system_error&) {
        break;
      } catch (const std::bad_alloc&) {
        break;
      }
    }
    return threads.size();
  }
};

namespace {

// Counts the loop's helpers before they are woken, so that the caller
// waits for every one, and on leaving waits for them on any path.
class LoopInTeam {
 public:
  LoopInTeam(LoopTeamState& team, SharedLoop& loop, std::size_t helpers) noexcept
      : team_(team), loop_(loop) {
    loop_.helpers_starting(helpers);
    {
      const std::lock_guard lock(team_.mutex);
      team_.loop = &loop_;
      team_.loop_helpers = helpers;
      ++team_.generation;
    }
    team_.wake.notify_all();
  }
  LoopInTeam(const LoopInTeam&) = delete;
  LoopInTeam& operator=(const LoopInTeam&) = delete;
  ~LoopInTeam() {
    loop_.halt();
    loop_.wait_for_helpers_unpolled();
    const std::lock_guard lock(team_.mutex);
    team_.loop = nullptr;
    team_.loop_helpers = 0;
  }

 private:
  LoopTeamState& team_;
  SharedLoop& loop_;
};

}  // namespace

}  // namespace corvane::detail

namespace corvane {

LoopTeam::LoopTeam() : state_(std::make_unique<detail::LoopTeamState>()) {}

LoopTeam::~LoopTeam() {
  {
    const std::lock_guard lock(state_->mutex);
    state_->ending = true;
  }
  state_->wake.notify_all();
  for (std::thread& thread : state_->threads) thread.join();
}

ParallelOutcome LoopTeam::run(std::size_t count, std::size_t threads, const detail::RangeJob& job) {
  if (count == 0 && job.prologue == nullptr) return ParallelOutcome::Completed;
  threads = std::clamp<std::size_t>(threads, 1, count == 0 ? 1 : count);
  const std::size_t helpers = std::min(threads - 1, state_->grow_to(threads - 1));
  detail::SharedLoop loop(count, helpers + 1, job);
  {
    detail::LoopInTeam in_team(*state_, loop, helpers);
    loop.prologue();
    detail::Clock::time_point last_poll = detail::Clock::now();
    loop.run_ranges(job.poll != nullptr ? &last_poll : nullptr);
    loop.wait_for_helpers(last_poll);
  }
  return loop.finish();
}

namespace detail {

ParallelOutcome run_range_job(std::size_t count, std::size_t threads, const RangeJob& job) {
  LoopTeam team;
  return team.run(count, threads, job);
}

}  // namespace detail
}  // namespace corvane
