#include "boundary/errors/debug_text.h"

#include <charconv>

#include "boundary/errors/object_text.h"
#include "boundary/owned_ref.h"

namespace corvane::boundary {

namespace {

// The interpreter's formatting of `traceback`, or nothing with the error
// left pending.
std::optional<Text> formatted_traceback(PyObject* traceback) {
  OwnedRef io_name = OwnedRef::steal(PyUnicode_FromString("io"));
  if (!io_name) return std::nullopt;
  OwnedRef io = OwnedRef::steal(PyImport_Import(io_name.get()));
  if (!io) return std::nullopt;
  OwnedRef string_io_class = OwnedRef::steal(PyObject_GetAttrString(io.get(), "StringIO"));
  if (!string_io_class) return std::nullopt;
  OwnedRef buffer = OwnedRef::steal(PyObject_CallNoArgs(string_io_class.get()));
  if (!buffer) return std::nullopt;
  if (PyTraceBack_Print(traceback, buffer.get()) < 0) return std::nullopt;
  OwnedRef getvalue = OwnedRef::steal(PyObject_GetAttrString(buffer.get(), "getvalue"));
  if (!getvalue) return std::nullopt;
  OwnedRef value = OwnedRef::steal(PyObject_CallNoArgs(getvalue.get()));
  if (!value) return std::nullopt;
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(value.get(), &size);
  if (utf8 == nullptr) return std::nullopt;
  return Text(utf8, static_cast<std::size_t>(size));
}

}  // namespace

// Its escapes are part of the debug text, interface that callers match on
// byte for byte: not to be tidied.
Text quoted_text(std::string_view text) {
  Text out;
  out.reserve(text.size() + 2);
  out += '"';
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char hex[4];
          auto [end, error] = std::to_chars(hex, hex + sizeof(hex), u, 16);
          (void)error;
          out += "\\u{";
          out.append(hex, end);
          out += '}';
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

// This layout is interface: callers match on fault messages byte for byte,
// so it is not to be tidied.
Text debug_text(PyErr& err) {
  normalize(err);
  Text out("PyErr { type: ");
  out += object_repr_text(exception_type(err).get());
  out += ", value: ";
  out += object_repr_text(exception_value(err));
  out += ", traceback: ";
  OwnedRef traceback = exception_traceback(err);
  if (!traceback) {
    out += "None";
  } else {
    Text formatted;
    if (std::optional<Text> printed = formatted_traceback(traceback.get())) {
      formatted = std::move(*printed);
    } else {
      report_unraisable(fetch_pending(), traceback.get());
      formatted = "<unformattable ";
      formatted += object_repr_text(traceback.get());
      formatted += ">";
    }
    out += "Some(";
    out += quoted_text(formatted);
    out += ")";
  }
  out += " }";
  return out;
}

}  // namespace corvane::boundary
