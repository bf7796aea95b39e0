// Text forms of interpreter objects, for messages.
//
// Contract (all need the thread attached):
// - `lossy_text(str)`: the UTF-8 form of a `str`. A string that has none
//   (it holds lone surrogates) is encoded with "utf-8"/"surrogatepass" and
//   decoded by `repair_utf8` (boundary/errors/utf8_repair.h), so a
//   lone surrogate gives three U+FFFD; the error of the first attempt is
//   dropped. A re-encoding that gives null is a `null_result_fault`.
// - `object_text(obj)`: the lossy text of PyObject_Str(obj);
//   `object_repr_text(obj)`: the same of PyObject_Repr(obj). When the
//   string cannot be made, its error goes to the unraisable-error hook with
//   the object, and the text is "<unprintable NAME object>" with the
//   type's PyType_GetName, or "<unprintable object>" when that fails too
//   (that second error is dropped).
#pragma once

#include <Python.h>

#include <string_view>

#include "base/allocation.h"

namespace corvane::boundary {

Text lossy_text(PyObject* str);
Text object_text(PyObject* object);
Text object_repr_text(PyObject* object);

// Drops the interpreter's pending error, if any, without looking at it.
void drop_pending_error() noexcept;

}  // namespace corvane::boundary
