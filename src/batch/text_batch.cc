#include "batch/text_batch.h"

#include <utility>

namespace corvane::batch {

using boundary::fetch_pending;
using boundary::OwnedRef;
using boundary::PyErr;

std::expected<TextBatch, PyErr> TextBatch::from(PyObject* object, Keys keys) {
  TextBatch batch;
  // A mapping is what has `items()`, as a dict does; a sequence such as a
  // list or an array has `__getitem__` too, but no items.
  int has_items = 0;
  if (keys == Keys::FromMapping && !PyTuple_Check(object) && !PyList_Check(object)) {
    has_items = PyDict_Check(object) ? 1 : PyObject_HasAttrStringWithError(object, "items");
    if (has_items < 0) return std::unexpected(fetch_pending());
  }
  if (has_items != 0) {
    // A mapping's items, in its own order: (key, value) pairs.
    OwnedRef items = OwnedRef::steal(PyMapping_Items(object));
    if (!items) return std::unexpected(fetch_pending());
    const Py_ssize_t n = PyList_GET_SIZE(items.get());
    OwnedRef texts = OwnedRef::steal(PyTuple_New(n));
    OwnedRef names = OwnedRef::steal(PyTuple_New(n));
    if (!texts || !names) return std::unexpected(fetch_pending());
    for (Py_ssize_t i = 0; i < n; ++i) {
      PyObject* pair = PyList_GET_ITEM(items.get(), i);
      if (!PyTuple_Check(pair) || PyTuple_GET_SIZE(pair) != 2) {
        return std::unexpected(boundary::lazy_error_with_message(
            PyExc_TypeError, Text("the mapping's items() must give (key, value) pairs")));
      }
      PyTuple_SET_ITEM(names.get(), i, Py_NewRef(PyTuple_GET_ITEM(pair, 0)));
      PyTuple_SET_ITEM(texts.get(), i, Py_NewRef(PyTuple_GET_ITEM(pair, 1)));
    }
    batch.texts_ = std::move(texts);
    batch.keys_ = std::move(names);
    return batch;
  }
  // A tuple never changes; anything else is copied into one, a list by
  // its items as they stand now.
  OwnedRef texts =
      PyTuple_Check(object) ? OwnedRef::borrow(object) : OwnedRef::steal(PySequence_Tuple(object));
  if (!texts) return std::unexpected(fetch_pending());
  batch.texts_ = std::move(texts);
  return batch;
}

std::expected<TextBatch, PyErr> TextBatch::in_new_list(PyObject* object) {
  TextBatch batch;
  OwnedRef texts = OwnedRef::steal(PySequence_List(object));
  if (!texts) return std::unexpected(fetch_pending());
  batch.texts_ = std::move(texts);
  return batch;
}

}  // namespace corvane::batch
