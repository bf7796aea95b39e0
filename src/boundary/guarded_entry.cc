#include "boundary/guarded_entry.h"

#include <exception>

namespace corvane::boundary::guarded_entry_detail {

void abort_on_foreign_exception() noexcept {
  constexpr std::string_view line =
      "fatal error: an exception other than InternalFault reached the interpreter boundary";
  try {
    throw;
  } catch (const std::exception& e) {
    Text text(line);
    text += ": ";
    text += e.what();
    abort_with_fatal_error(text);
  } catch (...) {
    abort_with_fatal_error(line);
  }
}

void raise_or_abort(PyErr&& err, std::source_location where) noexcept {
  try {
    set_pending(std::move(err));
  } catch (InternalFault&) {
    abort_with_fault_report("uncaught panic at ffi boundary", where);
  } catch (...) {
    abort_on_foreign_exception();
  }
}

}  // namespace corvane::boundary::guarded_entry_detail
