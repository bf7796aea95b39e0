// References to texts given back a while after their scores are handed out.
//
// Contract (thread attached): `LateRelease(capacity)` holds up to
// `capacity` strong references in a ring allocated once. `give(object)`
// takes a reference over and, once the ring is full, gives back the one
// held longest; with capacity 0 it gives the reference back at once. The
// destructor gives back every reference still held, oldest first.
//
// Why. A text scored on another thread has left its first cache line, the
// one that holds its reference count, in that thread's cache. Writing the
// count at once takes the line back from that core while it still works
// on its neighbours: on two threads, handing out a title cost two to three
// times what it costs on one. Some rounds later the line has left that
// core's cache, and the count is written where it lies, asked for a few
// references ahead.
// Complexity: O(1) per `give`; O(capacity) at construction and destruction.
#pragma once

#include <Python.h>

#include <cstddef>

#include "base/allocation.h"
#include "scoring/arch/cpu_features.h"
#include "scoring/arch/prefetch.h"

namespace corvane::batch {

class LateRelease {
 public:
  explicit LateRelease(std::size_t capacity)
      : ring_(capacity), prefetchw_(scoring::cpu_features().prefetchw) {}
  LateRelease(const LateRelease&) = delete;
  LateRelease& operator=(const LateRelease&) = delete;
  ~LateRelease() {
    // The oldest first: the slots from `next_` on, then those before it.
    for (std::size_t k = next_; k < ring_.size(); ++k) Py_XDECREF(ring_[k]);
    for (std::size_t k = 0; k < next_; ++k) Py_XDECREF(ring_[k]);
  }

  void give(PyObject* object) noexcept {
    if (ring_.empty()) {
      Py_DECREF(object);
      return;
    }
    PyObject* const oldest = ring_[next_];
    ring_[next_] = object;
    if (++next_ == ring_.size()) next_ = 0;
    // The count to be written kAhead references from now. The ring wraps
    // by a subtraction, not a division, and the CPU's answer for PREFETCHW
    // was looked up once: this runs for every text, on the calling thread,
    // while the others score.
    std::size_t ahead = next_ + kAhead;
    while (ahead >= ring_.size()) ahead -= ring_.size();
    if (PyObject* const ahead_object = ring_[ahead]) {
      scoring::prefetch_for_writing(ahead_object, prefetchw_);
    }
    Py_XDECREF(oldest);
  }

 private:
  static constexpr std::size_t kAhead = 8;
  Vector<PyObject*> ring_;
  std::size_t next_ = 0;
  bool prefetchw_;
};

}  // namespace corvane::batch
