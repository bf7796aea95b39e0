#include "base/parallel_for.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "base/allocation.h"

namespace corvane::detail {
namespace {

using Clock = std::chrono::steady_clock;

struct Range {
  std::size_t begin = 0;
  std::size_t end = 0;
};

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
    --helpers_running_;
    helper_done_.notify_one();
  }

  // Counts a helper before its thread starts, so that the caller waits for
  // it however soon it ends; `helper_not_started` takes it back.
  void helper_starting() {
    const std::lock_guard lock(mutex_);
    ++helpers_running_;
  }
  void helper_not_started() {
    const std::lock_guard lock(mutex_);
    --helpers_running_;
  }

  // Waits for every helper to finish its ranges, polling at least every
  // kPollInterval until a stop is asked.
  void wait_for_helpers(Clock::time_point& last_poll) {
    std::unique_lock lock(mutex_);
    const auto all_done = [this] { return helpers_running_ == 0; };
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
  std::size_t helpers_running_ = 0;  // guarded by mutex_
};

// The helper threads of one call; leaving its scope on any path stops the
// loop and joins every one.
class Helpers {
 public:
  explicit Helpers(SharedLoop& loop) noexcept : loop_(loop) {}
  Helpers(const Helpers&) = delete;
  Helpers& operator=(const Helpers&) = delete;
  ~Helpers() {
    loop_.halt();
    for (std::thread& thread : threads_) thread.join();
  }

  // Starts up to `wanted` helpers; the loop goes on with fewer when the
  // system refuses one.
  void start(std::size_t wanted) {
    for (std::size_t i = 0; i < wanted; ++i) {
      loop_.helper_starting();
      try {
        threads_.emplace_back([&loop = loop_] { loop.help(); });
      } catch (const std::system_error&) {
        loop_.helper_not_started();
        return;
      } catch (const std::bad_alloc&) {
        loop_.helper_not_started();
        return;
      }
    }
  }

 private:
  SharedLoop& loop_;
  Vector<std::thread> threads_;
};

}  // namespace

ParallelOutcome run_range_job(std::size_t count, std::size_t threads, const RangeJob& job) {
  if (count == 0 && job.prologue == nullptr) return ParallelOutcome::Completed;
  threads = std::clamp<std::size_t>(threads, 1, count == 0 ? 1 : count);
  SharedLoop loop(count, threads, job);
  {
    Helpers helpers(loop);
    helpers.start(threads - 1);
    loop.prologue();
    Clock::time_point last_poll = Clock::now();
    loop.run_ranges(job.poll != nullptr ? &last_poll : nullptr);
    loop.wait_for_helpers(last_poll);
  }
  return loop.finish();
}

}  // namespace corvane::detail
