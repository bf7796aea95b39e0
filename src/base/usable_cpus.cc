#include "base/usable_cpus.h"

#include <errno.h>
#include <sched.h>

#include <thread>

namespace corvane {
namespace {

// The largest set tried when the kernel refuses smaller ones: far beyond
// any kernel's CPU limit today (8192), and only 128 KiB.
constexpr int kMostCpus = 1 << 20;

std::size_t at_least_one(int cpus) noexcept {
  return cpus > 0 ? static_cast<std::size_t>(cpus) : 1;
}

std::size_t hardware_cpu_count() noexcept {
  const unsigned cpus = std::thread::hardware_concurrency();
  return cpus > 0 ? cpus : 1;
}

}  // namespace

std::size_t usable_cpu_count() noexcept {
#if defined(__linux__)
  cpu_set_t fixed;
  CPU_ZERO(&fixed);
  if (sched_getaffinity(0, sizeof(fixed), &fixed) == 0) return at_least_one(CPU_COUNT(&fixed));
  // The kernel refuses (EINVAL) a set smaller than its own CPU count; then
  // the set doubles until the mask fits.
  int error = errno;
  for (int cpus = CPU_SETSIZE * 2; error == EINVAL && cpus <= kMostCpus; cpus *= 2) {
    cpu_set_t* grown = CPU_ALLOC(cpus);
    if (grown == nullptr) break;
    const std::size_t bytes = CPU_ALLOC_SIZE(cpus);
    CPU_ZERO_S(bytes, grown);
    const bool read = sched_getaffinity(0, bytes, grown) == 0;
    error = errno;
    const int count = read ? CPU_COUNT_S(bytes, grown) : 0;
    CPU_FREE(grown);
    if (read) return at_least_one(count);
  }
#endif
  return hardware_cpu_count();
}

}  // namespace corvane
