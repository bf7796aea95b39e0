#include "boundary/errors/object_text.h"

#include "boundary/errors/py_err.h"
#include "boundary/errors/utf8_repair.h"
#include "boundary/faults/null_result.h"
#include "boundary/owned_ref.h"

namespace corvane::boundary {

namespace {

Text text_of(PyObject* made, PyObject* object) {
  if (made != nullptr) {
    OwnedRef text = OwnedRef::steal(made);
    return lossy_text(text.get());
  }
  report_unraisable(fetch_pending(), object);
  if (OwnedRef name = OwnedRef::steal(PyType_GetName(Py_TYPE(object)))) {
    Text result("<unprintable ");
    result += lossy_text(name.get());
    result += " object>";
    return result;
  }
  drop_pending_error();
  return Text("<unprintable object>");
}

}  // namespace

void drop_pending_error() noexcept { Py_XDECREF(PyErr_GetRaisedException()); }

Text lossy_text(PyObject* str) {
  Py_ssize_t size = 0;
  if (const char* utf8 = PyUnicode_AsUTF8AndSize(str, &size)) {
    return Text(utf8, static_cast<std::size_t>(size));
  }
  drop_pending_error();
  OwnedRef bytes = check_new(PyUnicode_AsEncodedString(str, "utf-8", "surrogatepass"));
  return repair_utf8(std::string_view(PyBytes_AS_STRING(bytes.get()),
                                      static_cast<std::size_t>(PyBytes_GET_SIZE(bytes.get()))));
}

Text object_text(PyObject* object) { return text_of(PyObject_Str(object), object); }

Text object_repr_text(PyObject* object) { return text_of(PyObject_Repr(object), object); }

}  // namespace corvane::boundary
