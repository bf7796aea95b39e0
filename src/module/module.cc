// The module `_corvane`: its function's definition, its execution step, its
// slot table and module definition, and the one exported symbol
// PyInit__corvane, which hands the definition to the interpreter
// (multi-phase initialisation).

#include <Python.h>

#include <expected>
#include <string_view>
#include <utility>

#include "boundary/errors/debug_text.h"
#include "boundary/errors/py_err.h"
#include "boundary/errors/type_mismatch.h"
#include "boundary/faults/internal_fault.h"
#include "boundary/faults/no_unwind.h"
#include "boundary/faults/null_result.h"
#include "boundary/guarded_entry.h"
#include "boundary/owned_ref.h"
#include "module/attribute_names.h"
#include "module/lexical_score_entry.h"
#include "scoring/arch/kernel_table.h"

namespace corvane::module {

using boundary::check_new;
using boundary::debug_text;
using boundary::exception_type;
using boundary::fetch_pending;
using boundary::guarded_entry;
using boundary::InternalFault;
using boundary::lazy_error_with_message;
using boundary::OwnedRef;
using boundary::PyErr;
using boundary::type_mismatch_error;
namespace {

PyObject* type_object(PyTypeObject& type) { return reinterpret_cast<PyObject*>(&type); }

// The interpreter stores every entry as a PyCFunction and calls it by the
// convention its flags name; the detour through a function type without
// parameters says so without a cast-function-type warning.
PyCFunction as_method(PyCFunctionFastWithKeywords entry) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

// Not in the module's method table: the interpreter refuses METH_STATIC
// there, so module_exec makes the function with PyCMethod_New. METH_STATIC
// gives the entry a null `self` and Python a `__self__` of None; the doc
// holds only the signature, so `__text_signature__` is "(text, query)" and
// `__doc__` is None.
PyMethodDef lexical_score_def = {
    "lexical_score",
    as_method(lexical_score_entry),
    METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
    "lexical_score(text, query)\n--\n\n",
};

std::expected<int, PyErr> execute(PyObject* module) {
  if (module == nullptr) return std::unexpected(fetch_pending());
  if (!PyModule_Check(module)) {
    return std::unexpected(type_mismatch_error(module, type_object(PyModule_Type)));
  }

  // The vector code is chosen while the library loads; a CORVANE_ISA that
  // names no level, or one this CPU lacks, refuses the import here rather
  // than running other code than asked for.
  if (const std::string_view refused = scoring::isa_override_error(); !refused.empty()) {
    return std::unexpected(lazy_error_with_message(PyExc_ImportError, Text(refused)));
  }

  // The function's __module__ is the module's name as it stands now, so a
  // module imported inside a package reports its dotted name.
  OwnedRef function;
  {
    OwnedRef module_name = OwnedRef::steal(PyModule_GetNameObject(module));
    if (!module_name) return std::unexpected(fetch_pending());
    function =
        OwnedRef::steal(PyCMethod_New(&lexical_score_def, module, module_name.get(), nullptr));
  }
  if (!function) return std::unexpected(fetch_pending());

  OwnedRef name = OwnedRef::steal(PyObject_GetAttr(function.get(), name_attribute_name()));
  if (!name) return std::unexpected(fetch_pending());
  if (!PyUnicode_Check(name.get())) {
    return std::unexpected(type_mismatch_error(name.get(), type_object(PyUnicode_Type)));
  }

  {
    OwnedRef exports = OwnedRef::steal(PyObject_GetAttr(module, all_attribute_name()));
    if (exports) {
      if (!PyList_Check(exports.get())) {
        return std::unexpected(type_mismatch_error(exports.get(), type_object(PyList_Type)));
      }
    } else {
      {
        PyErr error = fetch_pending();
        if (!PyErr_GivenExceptionMatches(exception_type(error).get(), PyExc_AttributeError)) {
          return std::unexpected(std::move(error));
        }
      }
      exports = check_new(PyList_New(0));
      if (PyObject_SetAttr(module, all_attribute_name(), exports.get()) < 0) {
        return std::unexpected(fetch_pending());
      }
    }
    if (PyList_Append(exports.get(), name.get()) < 0) {
      PyErr error = fetch_pending();
      Text message("could not append __name__ to __all__: ");
      message.append(debug_text(error));
      throw InternalFault(std::move(message));
    }
  }

  if (PyObject_SetAttr(module, name.get(), function.get()) < 0) {
    return std::unexpected(fetch_pending());
  }
  // The module holds the function through its attribute now; the step's
  // own references to the function and its name go with this frame.
  return 0;
}

int module_exec(PyObject* module) noexcept {
  return guarded_entry<int>([module] { return execute(module); }, -1);
}

PyModuleDef_Slot module_slots[] = {
    // Multi-phase initialisation: the interpreter makes a plain module
    // object (there is no create slot) and this step fills it.
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    // The module's only shared data are once-only cells that detach while
    // they wait, so it runs without the global interpreter lock.
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    // End of the table; no multiple-interpreters slot, so the
    // interpreter's default for multi-phase modules applies.
    {0, nullptr},
};

// No per-module state and no method table; an empty, non-null doc makes
// the module's __doc__ the empty string.
PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "_corvane", "", 0, nullptr, module_slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace corvane::module

// The interpreter cannot receive a C++ exception: a fault that got this far
// ends the process after a report.
PyMODINIT_FUNC PyInit__corvane(void) {
  return corvane::boundary::run_without_unwinding(
      [] { return PyModuleDef_Init(&corvane::module::module_def); });
}
