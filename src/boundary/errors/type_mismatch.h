// The TypeError for an object that is not of the expected type.
//
// Contract: `type_mismatch_error(object, expected_type)` takes borrowed
// pointers (the thread attached; the maker takes references of its own) and
// gives a lazy `PyErr` with the type-mismatch maker, whose message is made
// only when the error is raised or inspected:
//   "'None' is not an instance of 'E'"              for None,
//   "'T' object is not an instance of 'E'"          otherwise,
// T and E the qualified names (PyType_GetQualName, lossy text) of the
// object's type and of the expected type, "<failed to extract type name>"
// standing for a name that cannot be had.
#pragma once

#include <Python.h>

#include "boundary/errors/py_err.h"

namespace corvane::boundary {

PyErr type_mismatch_error(PyObject* object, PyObject* expected_type);

}  // namespace corvane::boundary
