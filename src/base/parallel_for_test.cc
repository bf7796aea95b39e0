#include "base/parallel_for.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "base/usable_cpus.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How long a test waits, in all, for things that must come before it calls
// the loop hung: far beyond any honest delay.
constexpr auto kHangBound = 10s;

// One deadline for a whole test: every wait gives up once it has passed and
// marks the test hung, so a loop that never stops fails instead of hanging,
// however many waits it leads to.
class HangGuard {
 public:
  template <class Ready>
  void wait(Ready ready) {
    while (!ready()) {
      if (Clock::now() > deadline_) {
        hung_.store(true);
        return;
      }
      std::this_thread::sleep_for(200us);
    }
  }
  bool hung() const { return hung_.load(); }

 private:
  const Clock::time_point deadline_ = Clock::now() + kHangBound;
  std::atomic<bool> hung_{false};
};

// How often each index was handed out, the threads that ran ranges, and
// whether any range was empty or out of bounds.
class Tally {
 public:
  explicit Tally(std::size_t count) : hits_(count) {}

  void add(std::size_t begin, std::size_t end) {
    if (begin >= end || end > hits_.size()) {
      bad_range_.store(true);
      return;
    }
    for (std::size_t i = begin; i < end; ++i) hits_[i].fetch_add(1, std::memory_order_relaxed);
    const std::lock_guard lock(mutex_);
    threads_.insert(std::this_thread::get_id());
  }

  bool bad_range() const { return bad_range_.load(); }
  std::size_t handed_out() const {
    std::size_t total = 0;
    for (const auto& h : hits_) total += h.load() != 0;
    return total;
  }
  // The first index handed out other than once (or more than once, when
  // `at_most` is set), or the count when there is none.
  std::size_t first_wrong(bool at_most) const {
    for (std::size_t i = 0; i < hits_.size(); ++i) {
      const std::uint32_t h = hits_[i].load();
      if (at_most ? h > 1 : h != 1) return i;
    }
    return hits_.size();
  }
  std::set<std::thread::id> threads() const {
    const std::lock_guard lock(mutex_);
    return threads_;
  }

 private:
  std::vector<std::atomic<std::uint32_t>> hits_;
  std::atomic<bool> bad_range_{false};
  mutable std::mutex mutex_;
  std::set<std::thread::id> threads_;
};

// Counts the calls of `work` in progress, on every way out of one.
class Active {
 public:
  explicit Active(std::atomic<int>& active) : active_(active) { active_.fetch_add(1); }
  Active(const Active&) = delete;
  Active& operator=(const Active&) = delete;
  ~Active() { active_.fetch_sub(1); }

 private:
  std::atomic<int>& active_;
};

struct CoverCase {
  std::size_t count;
  std::size_t threads;
  bool with_poll;
  std::size_t slow_every;  // every so many items sleep a while; 0: none does
};

void PrintTo(const CoverCase& c, std::ostream* out) {
  *out << "count " << c.count << ", threads " << c.threads << (c.with_poll ? ", polled" : "")
       << ", slow every " << c.slow_every;
}

class Cover : public testing::TestWithParam<CoverCase> {};

TEST_P(Cover, HandsOutEveryIndexExactlyOnce) {
  const CoverCase c = GetParam();
  Tally tally(c.count);
  const auto work = [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; c.slow_every != 0 && i < end; ++i) {
      if (i % c.slow_every == 0) std::this_thread::sleep_for(300us);
    }
    tally.add(begin, end);
    return true;
  };
  const ParallelOutcome outcome = c.with_poll
                                      ? parallel_for(c.count, c.threads, work, [] { return true; })
                                      : parallel_for(c.count, c.threads, work);
  EXPECT_EQ(outcome, ParallelOutcome::Completed);
  EXPECT_FALSE(tally.bad_range());
  EXPECT_EQ(tally.first_wrong(false), c.count);
  const auto threads = tally.threads();
  EXPECT_LE(threads.size(), std::max<std::size_t>(1, std::min(c.threads, c.count)));
  if (c.threads <= 1 || c.count <= 1) {
    for (const auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
  }
}

INSTANTIATE_TEST_SUITE_P(
    ParallelFor, Cover,
    testing::Values(CoverCase{0, 1, false, 0}, CoverCase{0, 4, true, 0}, CoverCase{1, 1, false, 0},
                    CoverCase{1, 8, true, 0}, CoverCase{3, 8, false, 0}, CoverCase{7, 2, true, 0},
                    CoverCase{100, 1, false, 0}, CoverCase{100, 0, true, 0},
                    CoverCase{1000, 3, false, 0}, CoverCase{100000, 4, true, 0},
                    CoverCase{1000003, 8, false, 0}, CoverCase{1000003, 3, true, 0},
                    CoverCase{20000, 1, true, 97}, CoverCase{20000, 4, true, 97},
                    CoverCase{5000, 8, false, 7}));

// The range that holds index 0, the first handed out, waits until every
// other index is done: only a loop that assigns nothing ahead lets the other
// threads take all the rest meanwhile.
class LongRange : public testing::TestWithParam<std::size_t> {};

TEST_P(LongRange, DoesNotHoldBackTheRest) {
  constexpr std::size_t count = 10000;
  const std::size_t threads = GetParam();
  Tally tally(count);
  std::atomic<std::size_t> done{0};
  HangGuard guard;
  const auto work = [&](std::size_t begin, std::size_t end) {
    if (begin == 0) guard.wait([&] { return done.load() == count - end; });
    tally.add(begin, end);
    done.fetch_add(end - begin);
    return true;
  };
  EXPECT_EQ(parallel_for(count, threads, work), ParallelOutcome::Completed);
  EXPECT_FALSE(guard.hung());
  EXPECT_FALSE(tally.bad_range());
  EXPECT_EQ(tally.first_wrong(false), count);
}

INSTANTIATE_TEST_SUITE_P(ParallelFor, LongRange, testing::Values(2, 3, 8));

struct StopCase {
  std::size_t threads;
  std::size_t stopping_range;  // the range, in the order they begin, that returns false
};

void PrintTo(const StopCase& c, std::ostream* out) {
  *out << "threads " << c.threads << ", range " << c.stopping_range << " stops";
}

class StopFromWork : public testing::TestWithParam<StopCase> {};

// Ranges before the stopping one return at once; ranges after it wait for
// the stop to show, so each thread can begin at most one after it.
TEST_P(StopFromWork, EndsEveryThreadAtItsNextRange) {
  constexpr std::size_t count = 100000;
  const StopCase c = GetParam();
  Tally tally(count);
  std::atomic<std::size_t> begun{0};
  HangGuard guard;
  const auto work = [&](std::size_t begin, std::size_t end, const std::atomic<bool>& stop) {
    const std::size_t order = begun.fetch_add(1);
    tally.add(begin, end);
    if (order == c.stopping_range) return false;
    if (order > c.stopping_range) guard.wait([&] { return stop.load(); });
    return true;
  };
  EXPECT_EQ(parallel_for(count, c.threads, work, [] { return true; }),
            ParallelOutcome::StoppedByWork);
  EXPECT_FALSE(guard.hung());
  EXPECT_LE(begun.load(), c.stopping_range + c.threads);
  EXPECT_FALSE(tally.bad_range());
  EXPECT_EQ(tally.first_wrong(true), count);
  EXPECT_LT(tally.handed_out(), count);
}

INSTANTIATE_TEST_SUITE_P(ParallelFor, StopFromWork,
                         testing::Values(StopCase{1, 0}, StopCase{1, 5}, StopCase{2, 0},
                                         StopCase{2, 5}, StopCase{4, 0}, StopCase{4, 40},
                                         StopCase{8, 3}));

// The other threads are busy until a stop shows; the caller's ranges take a
// millisecond each, so its first poll comes long before the indices run out.
class StopFromPoll : public testing::TestWithParam<std::size_t> {};

TEST_P(StopFromPoll, EndsTheBusyThreadsAndPollsNoMore) {
  constexpr std::size_t count = 1000000;
  const std::size_t threads = GetParam();
  const auto caller = std::this_thread::get_id();
  Tally tally(count);
  HangGuard guard;
  const auto work = [&](std::size_t begin, std::size_t end, const std::atomic<bool>& stop) {
    tally.add(begin, end);
    if (std::this_thread::get_id() == caller) {
      std::this_thread::sleep_for(1ms);
    } else {
      guard.wait([&] { return stop.load(); });
    }
    return true;
  };
  int polls = 0;
  Clock::time_point refused;
  const auto poll = [&] {
    ++polls;
    refused = Clock::now();
    return false;
  };
  EXPECT_EQ(parallel_for(count, threads, work, poll), ParallelOutcome::StoppedByPoll);
  EXPECT_LT(Clock::now() - refused, 5s);
  EXPECT_EQ(polls, 1);
  EXPECT_FALSE(guard.hung());
  EXPECT_FALSE(tally.bad_range());
  EXPECT_EQ(tally.first_wrong(true), count);
  EXPECT_LT(tally.handed_out(), count);
}

INSTANTIATE_TEST_SUITE_P(ParallelFor, StopFromPoll, testing::Values(1, 2, 4));

// The caller's first range waits until another thread has begun one; that
// one waits until the caller has polled three times, which it can only do
// while it waits for the others.
class PollWhileWaiting : public testing::TestWithParam<std::size_t> {};

TEST_P(PollWhileWaiting, KeepsPollingOnTheCallerOnly) {
  constexpr std::size_t count = 1000;
  const std::size_t threads = GetParam();
  const auto caller = std::this_thread::get_id();
  Tally tally(count);
  std::atomic<int> polls{0};
  std::atomic<bool> helper_began{false};
  std::atomic<bool> caller_waited{false};
  HangGuard guard;
  const auto work = [&](std::size_t begin, std::size_t end) {
    tally.add(begin, end);
    if (std::this_thread::get_id() == caller) {
      if (!caller_waited.exchange(true)) guard.wait([&] { return helper_began.load(); });
    } else if (!helper_began.exchange(true)) {
      guard.wait([&] { return polls.load() >= 3; });
    }
    return true;
  };
  bool polled_elsewhere = false;
  const auto poll = [&] {
    polled_elsewhere |= std::this_thread::get_id() != caller;
    polls.fetch_add(1);
    return true;
  };
  EXPECT_EQ(parallel_for(count, threads, work, poll), ParallelOutcome::Completed);
  EXPECT_FALSE(guard.hung());
  EXPECT_GE(polls.load(), 3);
  EXPECT_FALSE(polled_elsewhere);
  EXPECT_EQ(tally.first_wrong(false), count);
}

INSTANTIATE_TEST_SUITE_P(ParallelFor, PollWhileWaiting, testing::Values(2, 4));

struct Boom : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class Thrower {
  Caller,  // the caller's first range, while the others are busy
  Helper,  // another thread's first range, while the caller is busy
  Every,   // every range, on every thread
  Poll,    // the first poll, while the other threads are busy
};

struct ThrowCase {
  Thrower thrower;
  std::size_t threads;
};

void PrintTo(const ThrowCase& c, std::ostream* out) {
  static constexpr const char* names[] = {"caller", "helper", "every range", "poll"};
  *out << names[static_cast<int>(c.thrower)] << " throws, threads " << c.threads;
}

class Throw : public testing::TestWithParam<ThrowCase> {};

// Busy threads wait for the stop to show, so a loop that rethrew before
// joining would leave a call of `work` in progress.
TEST_P(Throw, RethrowsTheFirstOnceAfterTheJoins) {
  constexpr std::size_t count = 100000;
  const ThrowCase c = GetParam();
  const auto caller = std::this_thread::get_id();
  Tally tally(count);
  std::atomic<int> active{0};
  std::atomic<bool> helper_began{false};
  std::atomic<bool> caller_began{false};
  HangGuard guard;
  const auto wait_for_stop = [&](const std::atomic<bool>& stop) {
    guard.wait([&] { return stop.load(); });
  };
  const auto work = [&](std::size_t begin, std::size_t end, const std::atomic<bool>& stop) {
    const Active counted(active);
    tally.add(begin, end);
    const bool on_caller = std::this_thread::get_id() == caller;
    switch (c.thrower) {
      case Thrower::Every:
        throw Boom(on_caller ? "caller" : "helper");
      case Thrower::Caller:
        if (on_caller && !caller_began.exchange(true)) throw Boom("caller");
        if (!on_caller) wait_for_stop(stop);
        break;
      case Thrower::Helper:
        if (!on_caller && !helper_began.exchange(true)) throw Boom("helper");
        if (on_caller && !caller_began.exchange(true)) {
          guard.wait([&] { return helper_began.load(); });
        }
        if (!on_caller) wait_for_stop(stop);
        break;
      case Thrower::Poll:
        if (on_caller) std::this_thread::sleep_for(1ms);
        if (!on_caller) wait_for_stop(stop);
        break;
    }
    return true;
  };
  int polls = 0;
  const auto poll = [&]() -> bool {
    ++polls;
    if (c.thrower == Thrower::Poll) throw Boom("poll");
    return true;
  };
  int caught = 0;
  std::string what;
  try {
    (void)parallel_for(count, c.threads, work, poll);
  } catch (const Boom& e) {
    ++caught;
    what = e.what();
    EXPECT_EQ(active.load(), 0) << "a call of work outlived the loop";
  }
  EXPECT_EQ(caught, 1);
  EXPECT_FALSE(guard.hung());
  switch (c.thrower) {
    case Thrower::Caller:
      EXPECT_EQ(what, "caller");
      break;
    case Thrower::Helper:
      EXPECT_EQ(what, "helper");
      break;
    case Thrower::Every:
      EXPECT_TRUE(what == "caller" || what == "helper") << what;
      break;
    case Thrower::Poll:
      EXPECT_EQ(what, "poll");
      EXPECT_EQ(polls, 1);
      break;
  }
  EXPECT_FALSE(tally.bad_range());
  EXPECT_EQ(tally.first_wrong(true), count);
}

INSTANTIATE_TEST_SUITE_P(
    ParallelFor, Throw,
    testing::Values(ThrowCase{Thrower::Caller, 1}, ThrowCase{Thrower::Caller, 2},
                    ThrowCase{Thrower::Caller, 4}, ThrowCase{Thrower::Helper, 2},
                    ThrowCase{Thrower::Helper, 4}, ThrowCase{Thrower::Every, 1},
                    ThrowCase{Thrower::Every, 4}, ThrowCase{Thrower::Every, 8},
                    ThrowCase{Thrower::Poll, 1}, ThrowCase{Thrower::Poll, 3}));

#if defined(__GLIBC__)
// Makes every thread started with the default attributes ask for a stack
// larger than the address space, so that starting one fails; restores the
// defaults on the way out.
class RefusedThreads {
 public:
  RefusedThreads() {
    ok_ = pthread_getattr_default_np(&saved_) == 0;
    if (!ok_) return;
    pthread_attr_t huge;
    pthread_attr_init(&huge);
    ok_ = pthread_attr_setstacksize(&huge, std::size_t{1} << 62) == 0 &&
          pthread_setattr_default_np(&huge) == 0;
    pthread_attr_destroy(&huge);
  }
  RefusedThreads(const RefusedThreads&) = delete;
  RefusedThreads& operator=(const RefusedThreads&) = delete;
  ~RefusedThreads() {
    pthread_setattr_default_np(&saved_);
    pthread_attr_destroy(&saved_);
  }

  // Whether starting a thread now fails as it should.
  bool refusing() const {
    if (!ok_) return false;
    try {
      std::thread([] {}).join();
      return false;
    } catch (const std::system_error&) {
      return true;
    }
  }

 private:
  pthread_attr_t saved_{};
  bool ok_ = false;
};

TEST(ParallelFor, RunsOnTheCallerAloneWhenNoThreadStarts) {
  constexpr std::size_t count = 10000;
  Tally tally(count);
  ParallelOutcome outcome{};
  {
    const RefusedThreads refused;
    if (!refused.refusing()) GTEST_SKIP() << "threads with a huge stack still start here";
    outcome = parallel_for(count, 4, [&](std::size_t begin, std::size_t end) {
      tally.add(begin, end);
      return true;
    });
  }
  EXPECT_EQ(outcome, ParallelOutcome::Completed);
  EXPECT_EQ(tally.first_wrong(false), count);
  EXPECT_EQ(tally.threads(), std::set{std::this_thread::get_id()});
}
#endif

// The prologue runs once, on the caller, while the others are already on
// the loop; with nothing to hand out it runs all the same.
TEST(ParallelFor, RunsThePrologueOnceOnTheCallerWhileTheOthersWork) {
  for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{5000}}) {
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<std::size_t> done{0};
    std::size_t runs = 0;
    bool on_caller = true;
    HangGuard guard;
    const auto outcome = parallel_for(
        count, 2,
        [&](std::size_t begin, std::size_t end) {
          done += end - begin;
          return true;
        },
        [] { return true; },
        [&] {
          ++runs;
          on_caller = std::this_thread::get_id() == caller;
          // The helper takes what it can before the caller takes a range.
          if (count > 1) guard.wait([&] { return done.load() > 0; });
        });
    EXPECT_EQ(outcome, ParallelOutcome::Completed) << count;
    EXPECT_EQ(runs, 1u) << count;
    EXPECT_TRUE(on_caller) << count;
    EXPECT_EQ(done.load(), count);
  }
}

// A team's loops in turn cover their indices on the threads the team
// started once: a fault ends only its own loop.
TEST(LoopTeam, RunsLoopsInTurnOnTheSameThreads) {
  LoopTeam team;
  std::set<std::thread::id> seen;
  for (int loop = 0; loop < 20; ++loop) {
    constexpr std::size_t count = 3000;
    Tally tally(count);
    const bool fault = loop == 7;
    const auto run = [&] {
      return team.parallel_for(
          count, 1 + loop % 3,
          [&](std::size_t begin, std::size_t end) {
            if (fault && begin > count / 2) throw std::runtime_error("fault");
            tally.add(begin, end);
            return true;
          },
          [] { return true; }, [] {});
    };
    if (fault) {
      EXPECT_THROW(static_cast<void>(run()), std::runtime_error);
      continue;
    }
    EXPECT_EQ(run(), ParallelOutcome::Completed) << loop;
    EXPECT_EQ(tally.first_wrong(false), count) << loop;
    seen.merge(tally.threads());
  }
  // The caller and at most two helpers.
  EXPECT_LE(seen.size(), 3u);
}

// Narrowed to its first one or two CPUs, the thread sees the narrower mask
// at once; its own mask comes back afterwards.
TEST(UsableCpuCount, FollowsAChangedMask) {
  cpu_set_t saved;
  CPU_ZERO(&saved);
  if (sched_getaffinity(0, sizeof(saved), &saved) != 0) {
    GTEST_SKIP() << "more CPUs than a cpu_set_t";
  }
  std::vector<int> allowed;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &saved)) allowed.push_back(cpu);
  }
  for (const std::size_t wanted : {std::size_t{1}, std::size_t{2}}) {
    if (allowed.size() < wanted) continue;
    cpu_set_t narrow;
    CPU_ZERO(&narrow);
    for (std::size_t i = 0; i < wanted; ++i) CPU_SET(allowed[i], &narrow);
    ASSERT_EQ(sched_setaffinity(0, sizeof(narrow), &narrow), 0);
    const std::size_t counted = usable_cpu_count();
    ASSERT_EQ(sched_setaffinity(0, sizeof(saved), &saved), 0);
    EXPECT_EQ(counted, wanted);
  }
  EXPECT_EQ(usable_cpu_count(), allowed.size());
}

}  // namespace
}  // namespace corvane
