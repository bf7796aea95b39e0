// What the module `corvane._native` keeps: its types.
//
// Contract: `module_state(module)` gives the state of a module made from
// the module's definition; its references are strong and are released when
// the module is cleared.
#pragma once

#include <Python.h>

namespace corvane::batch {

struct ModuleState {
  PyTypeObject* query_type;
  PyTypeObject* matrix_type;
};

inline ModuleState& module_state(PyObject* module) noexcept {
  return *static_cast<ModuleState*>(PyModule_GetState(module));
}

}  // namespace corvane::batch
