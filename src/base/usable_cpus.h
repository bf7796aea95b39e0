// How many CPUs this process may run on.
//
// Contract: `usable_cpu_count()` counts the CPUs in the calling thread's
// affinity mask (the process's, unless the thread changed its own): what
// `taskset`, a cpuset or `os.sched_setaffinity` leave it, not every CPU the
// machine has. It reads the mask afresh on every call, so a change made
// while the process runs is seen by the next call; a machine with more CPUs
// than a `cpu_set_t` holds is read through a larger set. Where the mask
// cannot be read it gives `std::thread::hardware_concurrency()`. Either way
// the answer is at least 1. A time quota (cgroup `cpu.max`) is not counted:
// it limits how long the threads run, not where. Safe from any thread; it
// throws nothing.
// Complexity: one system call (one more for each doubling of the set past
// `CPU_SETSIZE`), and O(CPUs / 64) to count the mask's bits.
#pragma once

#include <cstddef>

namespace corvane {

std::size_t usable_cpu_count() noexcept;

}  // namespace corvane
