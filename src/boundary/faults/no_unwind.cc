#include "boundary/faults/no_unwind.h"

#include "boundary/guarded_entry.h"

namespace corvane::boundary::no_unwind_detail {

void abort_on_foreign_exception() noexcept { guarded_entry_detail::abort_on_foreign_exception(); }

}  // namespace corvane::boundary::no_unwind_detail
