// A process-wide once-only cell for one interpreter object.
//
// Contract: an `OnceObjectCell` is empty until `get_or_init` fills it and
// then holds its object (one strong reference) until the process ends; the
// reference is never released. `get_or_init(init)` needs the thread
// attached and gives the object, borrowed:
// - when the cell is filled it reads one atomic pointer and returns, without
//   locking and without detaching;
// - otherwise it detaches with PyEval_SaveThread and, still detached, waits
//   for any other thread that is filling the cell. If the cell is still
//   empty, it re-attaches with PyEval_RestoreThread and runs `init()`, which
//   returns a new reference (never null) or throws `InternalFault`; a
//   reference is stored, a fault leaves the cell empty for the next use to
//   try again and propagates to the caller. A thread that finds the cell
//   filled after waiting re-attaches and returns it.
// The thread is attached again on every way out. A thread that needs the
// cell again while it is itself running `init` (which would wait for
// itself) gets an `InternalFault` instead. Cells are constant-initialised,
// so they can be static globals with no start-up or tear-down cost.
#pragma once

#include <Python.h>

#include <atomic>
#include <mutex>
#include <utility>

#include "boundary/faults/internal_fault.h"

namespace corvane::boundary {

namespace once_cell_detail {
// A per-thread address that identifies the calling thread.
const void* current_thread_marker() noexcept;
[[noreturn]] void fault_on_self_wait(std::source_location where);
}  // namespace once_cell_detail

class OnceObjectCell {
 public:
  constexpr OnceObjectCell() noexcept = default;
  OnceObjectCell(const OnceObjectCell&) = delete;
  OnceObjectCell& operator=(const OnceObjectCell&) = delete;

  template <class Init>
  PyObject* get_or_init(Init&& init, std::source_location where = std::source_location::current()) {
    if (PyObject* value = value_.load(std::memory_order_acquire)) return value;
    return slow_path(std::forward<Init>(init), where);
  }

 private:
  // Detached for its lifetime: re-attaches on every way out of its scope.
  class Detached {
   public:
    Detached() noexcept : state_(PyEval_SaveThread()) {}
    Detached(const Detached&) = delete;
    Detached& operator=(const Detached&) = delete;
    ~Detached() { attach(); }
    void attach() noexcept {
      if (state_ != nullptr) PyEval_RestoreThread(std::exchange(state_, nullptr));
    }

   private:
    PyThreadState* state_;
  };

  template <class Init>
  PyObject* slow_path(Init&& init, std::source_location where) {
    const void* me = once_cell_detail::current_thread_marker();
    if (filler_.load(std::memory_order_acquire) == me) once_cell_detail::fault_on_self_wait(where);
    Detached detached;
    std::unique_lock lock(mutex_);
    if (PyObject* value = value_.load(std::memory_order_acquire)) {
      lock.unlock();
      return value;  // re-attaches in ~Detached
    }
    // This thread fills the cell; it holds the lock (others wait detached)
    // and is attached for its interpreter calls.
    detached.attach();
    filler_.store(me, std::memory_order_release);
    struct ClearFiller {
      std::atomic<const void*>& filler;
      ~ClearFiller() { filler.store(nullptr, std::memory_order_release); }
    } clear_filler{filler_};
    PyObject* value = std::forward<Init>(init)();
    value_.store(value, std::memory_order_release);
    return value;
  }

  std::atomic<PyObject*> value_{nullptr};
  std::atomic<const void*> filler_{nullptr};
  std::mutex mutex_;
};

}  // namespace corvane::boundary
