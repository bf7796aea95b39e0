// The attribute names that the module's execution step looks up.
//
// Contract: `all_attribute_name()` and `name_attribute_name()` give the
// interned strings "__all__" and "__name__", borrowed; each is created on
// first use in the process and kept until the process ends. They need the
// thread attached. A first use detaches while it waits for, or runs, the
// one-time creation (other threads may run then); later uses only read.
// Failing to create one is a null-result fault (InternalFault); the next use
// tries again.
#pragma once

#include <Python.h>

namespace corvane::module {

PyObject* all_attribute_name();
PyObject* name_attribute_name();

}  // namespace corvane::module
