#include "boundary/errors/type_mismatch.h"

namespace corvane::boundary {

PyErr type_mismatch_error(PyObject* object, PyObject* expected_type) {
  return new_lazy(type_mismatch_maker(OwnedRef::borrow(object), OwnedRef::borrow(expected_type)));
}

}  // namespace corvane::boundary
