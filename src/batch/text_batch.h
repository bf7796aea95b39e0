// The texts of a batch call, held for the call.
//
// Contract (thread attached): `TextBatch::from(object)` takes a snapshot
// of an iterable of texts: a tuple as it is, a list as a shallow copy (so
// that another thread changing the list cannot change or free what the
// batch reads), anything else iterated once into a list. With `keys`, a
// mapping gives its values as the texts and its keys beside them, in its
// own order. It holds a strong reference to every text (and key) until it
// is destroyed; `size()` counts them, `at(i)` borrows text i and `key(i)`
// key i (null without keys). Iteration errors come back as they are.
// Complexity: O(n) references for a list or an iterable, O(1) for a tuple.
#pragma once

#include <Python.h>

#include <cstddef>
#include <expected>

#include "boundary/errors/py_err.h"
#include "boundary/owned_ref.h"

namespace corvane::batch {

class TextBatch {
 public:
  enum class Keys { None, FromMapping };

  static std::expected<TextBatch, boundary::PyErr> from(PyObject* object, Keys keys = Keys::None);

  std::size_t size() const noexcept {
    return static_cast<std::size_t>(PyTuple_GET_SIZE(texts_.get()));
  }
  PyObject* at(std::size_t i) const noexcept {
    return PyTuple_GET_ITEM(texts_.get(), static_cast<Py_ssize_t>(i));
  }
  PyObject* key(std::size_t i) const noexcept {
    return keys_ ? PyTuple_GET_ITEM(keys_.get(), static_cast<Py_ssize_t>(i)) : nullptr;
  }

 private:
  // Both tuples: a tuple never changes.
  boundary::OwnedRef texts_;
  boundary::OwnedRef keys_;
};

}  // namespace corvane::batch
