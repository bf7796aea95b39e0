// What the static C++ runtime calls that an older glibc does not have, for
// modules linked against that glibc (CORVANE_GLIBC_SYSROOT): the runtime in
// the toolchain, and its headers, were made for a new glibc, and these are
// the symbols they take from there (std::condition_variable's timed waits
// among them, inlined into the module's own code). Each is defined here,
// hidden like everything in the module and kept local by its version
// script, so the module binds to its own copy and the loader never looks
// for glibc's. Linked only in that configuration; a module linked against
// the build machine's own glibc takes glibc's.

#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The glibc of every version, under the name it has had since 2.2.5: the
// headers of a new glibc redirect strtoul to __isoc23_strtoul.
extern "C" unsigned long plain_strtoul(const char* text, char** end, int base) __asm__("strtoul");

// Random bytes from the kernel (getrandom, Linux 3.17), or from
// /dev/urandom where the kernel is older. Returns false when neither
// serves.
bool fill_random(void* buffer, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const long got = syscall(SYS_getrandom, bytes + done, size - done, 0);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got < 0 && errno == ENOSYS) {
      break;
    } else if (got < 0 && errno != EINTR) {
      return false;
    }
  }
  if (done == size) {
    return true;
  }
  const int device = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (device < 0) {
    return false;
  }
  while (done < size) {
    const ssize_t got = read(device, bytes + done, size - done);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  close(device);
  return done == size;
}

}  // namespace

extern "C" {

// glibc 2.38. It reads a "0b" prefix for bases 0 and 2 under C23; the runtime
// reads only decimal numbers with it (the size of the emergency exception
// pool from GLIBCXX_TUNABLES), where the two agree.
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming)
unsigned long __isoc23_strtoul(const char* text, char** end, int base) noexcept {
  return plain_strtoul(text, end, base);
}

// glibc 2.32 keeps this 1 until the process makes its first thread; the
// runtime then skips atomic reference counts. Left 0, they are always
// atomic: correct at any time, a little slower with one thread.
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming)
char __libc_single_threaded = 0;

// glibc 2.36. The runtime calls it for std::random_device and while
// waiting on an atomic; it cannot report a failure, so it ends the process
// when no random bytes can be had.
std::uint32_t arc4random() noexcept {
  std::uint32_t value = 0;
  if (!fill_random(&value, sizeof value)) {
    std::abort();
  }
  return value;
}

// glibc 2.25; std::random_device reads it.
int getentropy(void* buffer, std::size_t size) {
  if (size > 256) {
    errno = EIO;
    return -1;
  }
  if (!fill_random(buffer, size)) {
    errno = EIO;
    return -1;
  }
  return 0;
}

// glibc 2.30. std::condition_variable waits on the steady clock with it;
// its condition variables keep the default clock, the real-time one, so
// the deadline is carried over to that clock and waited for with
// pthread_cond_timedwait. A jump of the real-time clock during the wait
// moves its end: the waits it serves recheck their condition anyway.
int pthread_cond_clockwait(pthread_cond_t* condition, pthread_mutex_t* mutex, clockid_t clock,
                           const timespec* deadline) {
  if (clock == CLOCK_REALTIME) {
    return pthread_cond_timedwait(condition, mutex, deadline);
  }
  timespec now_on_clock{};
  timespec now_real{};
  if (clock_gettime(clock, &now_on_clock) != 0 || clock_gettime(CLOCK_REALTIME, &now_real) != 0) {
    return EINVAL;
  }
  constexpr long nanoseconds_per_second = 1'000'000'000;
  timespec real_deadline{};
  real_deadline.tv_sec = now_real.tv_sec + (deadline->tv_sec - now_on_clock.tv_sec);
  long nanoseconds = now_real.tv_nsec + (deadline->tv_nsec - now_on_clock.tv_nsec);
  while (nanoseconds < 0) {
    nanoseconds += nanoseconds_per_second;
    --real_deadline.tv_sec;
  }
  while (nanoseconds >= nanoseconds_per_second) {
    nanoseconds -= nanoseconds_per_second;
    ++real_deadline.tv_sec;
  }
  real_deadline.tv_nsec = nanoseconds;
  return pthread_cond_timedwait(condition, mutex, &real_deadline);
}

}  // extern "C"
