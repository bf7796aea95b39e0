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
// `TextBatch::in_new_list(object)` takes the snapshot into a new list
// instead, even of a tuple: a list no one else sees, whose slot i the
// caller may overwrite once text i is done with (`slots()`, borrowed), so
// that one buffer serves as the snapshot and the results.
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
  static std::expected<TextBatch, boundary::PyErr> in_new_list(PyObject* object);

  std::size_t size() const noexcept { return static_cast<std::size_t>(Py_SIZE(texts_.get())); }
  PyObject* at(std::size_t i) const noexcept {
    return PyList_CheckExact(texts_.get())
               ? PyList_GET_ITEM(texts_.get(), static_cast<Py_ssize_t>(i))
               : PyTuple_GET_ITEM(texts_.get(), static_cast<Py_ssize_t>(i));
  }
  // The new list of `in_new_list`, null otherwise.
  PyObject* slots() const noexcept {
    return PyList_CheckExact(texts_.get()) ? texts_.get() : nullptr;
  }
  PyObject* key(std::size_t i) const noexcept {
    return keys_ ? PyTuple_GET_ITEM(keys_.get(), static_cast<Py_ssize_t>(i)) : nullptr;
  }

 private:
  // Tuples, which never change, or for `in_new_list` a list that only its
  // caller changes.
  boundary::OwnedRef texts_;
  boundary::OwnedRef keys_;
};

}  // namespace corvane::batch
