#include "module/attribute_names.h"

#include <string_view>

#include "boundary/faults/null_result.h"
#include "boundary/once_cell.h"

namespace corvane::module {

using boundary::null_result_fault;
using boundary::OnceObjectCell;
namespace {

constinit OnceObjectCell all_name_cell;
constinit OnceObjectCell name_name_cell;

// A new reference to the interned string `text`.
PyObject* interned(std::string_view text) {
  PyObject* string = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  if (string == nullptr) null_result_fault();
  PyUnicode_InternInPlace(&string);
  return string;
}

}  // namespace

PyObject* all_attribute_name() {
  return all_name_cell.get_or_init([] { return interned("__all__"); });
}

PyObject* name_attribute_name() {
  return name_name_cell.get_or_init([] { return interned("__name__"); });
}

}  // namespace corvane::module
