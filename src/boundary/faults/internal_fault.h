// The one exception type that the module's own code throws for an
// unexpected failure.
//
// Contract: an `InternalFault` carries its message as owned UTF-8 text.
// Constructing one writes a fault report to the process's native standard
// error (file descriptor 2, not `sys.stderr`): the identity of the current
// thread, the file and line where the fault was made, and the message on a
// line of its own. `resumed` makes one without a report, for a fault that is
// carried on from a `PanicException` whose text was already printed. It is
// deliberately not derived from std::exception, so that no generic handler
// swallows it: only `guarded_entry` catches it.
#pragma once

#include <source_location>
#include <utility>

#include "base/allocation.h"

namespace corvane::boundary {

class InternalFault {
 public:
  explicit InternalFault(Text message,
                         std::source_location where = std::source_location::current());

  static InternalFault resumed(Text message) noexcept {
    return InternalFault(Resumed{}, std::move(message));
  }

  // Gives the message away; the fault is spent afterwards.
  Text take_message() && noexcept { return std::move(message_); }

 private:
  struct Resumed {};
  InternalFault(Resumed, Text message) noexcept : message_(std::move(message)) {}

  Text message_;
};

}  // namespace corvane::boundary
