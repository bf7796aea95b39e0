// The Python type `corvane.ScoreMatrix`: the scores of `cdist`, rows for
// queries and columns for texts, as single-precision floats.
//
// Contract (thread attached): `make_matrix_type(module)` makes the type (a
// heap type, final, not instantiable from Python). `new_matrix(type, rows,
// columns)` gives a matrix of zeros and `matrix_data(matrix)` its row-major
// floats, for the caller to fill before handing it out. A matrix exposes
// the buffer protocol (format "f", two dimensions, read-only, C order), so
// that `numpy.asarray` and `memoryview` read it without a copy; `shape`
// gives (rows, columns), `tolist()` a list of rows of floats, `len()` the
// rows.
#pragma once

#include <Python.h>

#include <cstddef>
#include <expected>

#include "boundary/errors/py_err.h"
#include "boundary/owned_ref.h"

namespace corvane::batch {

std::expected<boundary::OwnedRef, boundary::PyErr> make_matrix_type(PyObject* module);
std::expected<boundary::OwnedRef, boundary::PyErr> new_matrix(PyTypeObject* type, std::size_t rows,
                                                              std::size_t columns);
float* matrix_data(PyObject* matrix) noexcept;

}  // namespace corvane::batch
