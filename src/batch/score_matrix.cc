#include "batch/score_matrix.h"

#include <cstring>
#include <utility>

#include "base/allocation.h"
#include "boundary/faults/null_result.h"
#include "boundary/guarded_entry.h"

namespace corvane::batch {

using boundary::check_new;
using boundary::fetch_pending;
using boundary::guarded_entry;
using boundary::OwnedRef;
using boundary::PyErr;

namespace {

struct MatrixObject {
  PyObject_HEAD Py_ssize_t shape[2];
  Py_ssize_t strides[2];
  float* data;
};

MatrixObject* as_matrix(PyObject* self) noexcept { return reinterpret_cast<MatrixObject*>(self); }

void matrix_dealloc(PyObject* self) noexcept {
  PyTypeObject* type = Py_TYPE(self);
  release_allocation(as_matrix(self)->data);
  type->tp_free(self);
  Py_DECREF(type);
}

int matrix_getbuffer(PyObject* self, Py_buffer* view, int flags) noexcept {
  if ((flags & PyBUF_WRITABLE) == PyBUF_WRITABLE) {
    PyErr_SetString(PyExc_BufferError, "a ScoreMatrix is read-only");
    view->obj = nullptr;
    return -1;
  }
  MatrixObject* m = as_matrix(self);
  view->obj = Py_NewRef(self);
  view->buf = m->data;
  view->len = m->shape[0] * m->shape[1] * static_cast<Py_ssize_t>(sizeof(float));
  view->readonly = 1;
  view->itemsize = sizeof(float);
  view->format = (flags & PyBUF_FORMAT) != 0 ? const_cast<char*>("f") : nullptr;
  // Without a shape asked for, the floats are a plain run of bytes, as the
  // buffer protocol has it for simple requests (hashing, writing to a file).
  const bool shaped = (flags & PyBUF_ND) == PyBUF_ND;
  view->ndim = shaped ? 2 : 1;
  view->shape = shaped ? m->shape : nullptr;
  view->strides = (flags & PyBUF_STRIDES) == PyBUF_STRIDES ? m->strides : nullptr;
  view->suboffsets = nullptr;
  view->internal = nullptr;
  return 0;
}

PyObject* matrix_tolist(PyObject* self, PyObject*) noexcept {
  return guarded_entry<PyObject*>(
      [&]() -> std::expected<PyObject*, PyErr> {
        MatrixObject* m = as_matrix(self);
        OwnedRef rows = check_new(PyList_New(m->shape[0]));
        for (Py_ssize_t r = 0; r < m->shape[0]; ++r) {
          OwnedRef row = check_new(PyList_New(m->shape[1]));
          for (Py_ssize_t c = 0; c < m->shape[1]; ++c) {
            PyList_SET_ITEM(
                row.get(), c,
                check_new(PyFloat_FromDouble(static_cast<double>(m->data[r * m->shape[1] + c])))
                    .release());
          }
          PyList_SET_ITEM(rows.get(), r, row.release());
        }
        return rows.release();
      },
      nullptr);
}

PyObject* matrix_shape(PyObject* self, void*) noexcept {
  return Py_BuildValue("(nn)", as_matrix(self)->shape[0], as_matrix(self)->shape[1]);
}

Py_ssize_t matrix_length(PyObject* self) noexcept { return as_matrix(self)->shape[0]; }

PyObject* matrix_repr(PyObject* self) noexcept {
  return PyUnicode_FromFormat("<ScoreMatrix of %zd queries x %zd texts>", as_matrix(self)->shape[0],
                              as_matrix(self)->shape[1]);
}

PyMethodDef matrix_methods[] = {
    {"tolist", matrix_tolist, METH_NOARGS,
     "tolist($self)\n--\n\nThe scores as a list of rows (one per query) of floats."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef matrix_getset[] = {
    {"shape", matrix_shape, nullptr, "(queries, texts)", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot matrix_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(matrix_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(matrix_repr)},
    {Py_tp_methods, matrix_methods},
    {Py_tp_getset, matrix_getset},
    {Py_bf_getbuffer, reinterpret_cast<void*>(matrix_getbuffer)},
    {Py_mp_length, reinterpret_cast<void*>(matrix_length)},
    {Py_tp_doc,
     const_cast<char*>("The scores of cdist: a read-only matrix of single-precision floats, rows "
                       "for queries and columns for texts, readable through the buffer protocol.")},
    {0, nullptr},
};

PyType_Spec matrix_spec = {
    "corvane.ScoreMatrix",
    sizeof(MatrixObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    matrix_slots,
};

}  // namespace

std::expected<OwnedRef, PyErr> make_matrix_type(PyObject* module) {
  OwnedRef type = OwnedRef::steal(PyType_FromModuleAndSpec(module, &matrix_spec, nullptr));
  if (!type) return std::unexpected(fetch_pending());
  return type;
}

std::expected<OwnedRef, PyErr> new_matrix(PyTypeObject* type, std::size_t rows,
                                          std::size_t columns) {
  OwnedRef self = check_new(type->tp_alloc(type, 0));
  MatrixObject* m = as_matrix(self.get());
  m->shape[0] = static_cast<Py_ssize_t>(rows);
  m->shape[1] = static_cast<Py_ssize_t>(columns);
  m->strides[0] = static_cast<Py_ssize_t>(columns * sizeof(float));
  m->strides[1] = sizeof(float);
  // At least one float, so that the buffer's address is never null.
  const std::size_t count = rows * columns == 0 ? 1 : rows * columns;
  m->data = AbortingAllocator<float>().allocate(count);
  std::memset(m->data, 0, count * sizeof(float));
  return self;
}

float* matrix_data(PyObject* matrix) noexcept { return as_matrix(matrix)->data; }

}  // namespace corvane::batch
