// Sole ownership of one strong reference to an interpreter object.
//
// Contract: an `OwnedRef` holds one strong reference or nothing (null). It
// is moved, never copied; a moved-from `OwnedRef` is null. Destroying or
// resetting it releases the reference with Py_XDECREF, so the thread must be
// attached whenever an `OwnedRef` that holds a reference is destroyed,
// reset or assigned to. `steal` takes over a reference that the caller owns
// (typically the new reference of an interpreter call); `borrow` adds a
// reference of its own to a borrowed pointer (and needs the thread
// attached); `release` hands the reference back to the caller.
#pragma once

#include <Python.h>

#include <utility>

namespace corvane::boundary {

class OwnedRef {
 public:
  constexpr OwnedRef() noexcept = default;

  static OwnedRef steal(PyObject* object) noexcept { return OwnedRef(object); }
  static OwnedRef borrow(PyObject* object) noexcept {
    Py_XINCREF(object);
    return OwnedRef(object);
  }

  OwnedRef(OwnedRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  OwnedRef& operator=(OwnedRef&& other) noexcept {
    if (this != &other) {
      PyObject* old = std::exchange(object_, std::exchange(other.object_, nullptr));
      Py_XDECREF(old);
    }
    return *this;
  }
  OwnedRef(const OwnedRef&) = delete;
  OwnedRef& operator=(const OwnedRef&) = delete;
  ~OwnedRef() { Py_XDECREF(object_); }

  PyObject* get() const noexcept { return object_; }
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(object_, nullptr); }
  // Releases the held reference (if any); the thread must be attached.
  void reset() noexcept { Py_XDECREF(std::exchange(object_, nullptr)); }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  explicit OwnedRef(PyObject* object) noexcept : object_(object) {}

  PyObject* object_ = nullptr;
};

}  // namespace corvane::boundary
