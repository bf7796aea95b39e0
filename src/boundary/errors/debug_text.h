// The debug text of a `PyErr`, embedded in fault messages.
//
// Contract: `debug_text(err)` needs the thread attached and normalizes the
// value first. It gives
//     PyErr { type: T, value: V, traceback: B }
// with T the `object_repr_text` of the exception's class, V that of the
// instance, and B "None" when the instance has no traceback, else "Some("
// + the traceback as formatted by the interpreter (io.StringIO,
// PyTraceBack_Print, getvalue) written as a double-quoted string with
// backslash escapes + ")". When the traceback cannot be formatted, the
// error goes to the unraisable-error hook with the traceback object and
// the formatted text is "<unformattable " + its repr + ">".
// A fault message that embeds a `PyErr` is the message, ": ", this text.
#pragma once

#include <string_view>

#include "base/allocation.h"
#include "boundary/errors/py_err.h"

namespace corvane::boundary {

Text debug_text(PyErr& err);

// `text` between double quotation marks, with backslash escapes for the
// quotation mark, the backslash and control characters (\n, \r, \t, \0,
// others as \u{XX}). Complexity: O(n) in the length of `text`.
Text quoted_text(std::string_view text);

}  // namespace corvane::boundary
