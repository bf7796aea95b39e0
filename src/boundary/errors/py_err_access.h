// The private state of a `PyErr`, for the code that implements it
// (py_err.cc) and for tests that look inside it; nothing else includes it.
//
// Contract: `state(err)` is the value's `PyErrState`, whose fields keep the
// rules that py_err.h gives them; `normalize_step` is the one-time step of
// `normalize`; `instance` is the instance of a normalized value, and a
// value without one (spent by `into_exception_object`, or moved from) is a
// fault.
#pragma once

#include <Python.h>

#include "boundary/errors/py_err.h"

namespace corvane::boundary {

struct PyErrAccess {
  static PyErrState& state(PyErr& err) noexcept { return err.state_; }
  static void normalize_step(PyErrState& state);
  static PyObject* instance(PyErrState& state);
};

}  // namespace corvane::boundary
