#include "module/lexical_score_entry.h"

#include <expected>
#include <utility>

#include "base/allocation.h"
#include "boundary/faults/internal_fault.h"
#include "boundary/faults/null_result.h"
#include "boundary/guarded_entry.h"
#include "boundary/owned_ref.h"
#include "module/argument_binding.h"
#include "module/argument_text.h"
#include "scoring/lexical_score.h"

namespace corvane::module {

using boundary::check_new;
using boundary::guarded_entry;
using boundary::InternalFault;
using boundary::lazy_error_with_message;
using boundary::PyErr;
namespace {

// Scores the common call, two positional ASCII `str`s and a query with
// words, into `score`, or says false; anything else, failures included,
// takes the general path below, which checks every step in order. Nothing
// here can fail, so nothing is left to undo when it gives up. (An
// out-parameter rather than an optional: the float stays in a register.)
bool plain_call_score(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      float& score) noexcept {
  if (nargs != static_cast<Py_ssize_t>(kParameterCount) || kwnames != nullptr) return false;
  const auto text = ascii_text(args[0]);
  if (!text) return false;
  const auto query = ascii_text(args[1]);
  if (!query) return false;
  const auto scored = scoring::compute_lexical_score(*text, *query);
  if (!scored) return false;
  score = *scored;
  return true;
}

std::expected<PyObject*, PyErr> score_call(PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
  auto slots = bind_arguments(args, nargs, kwnames);
  if (!slots) return std::unexpected(std::move(slots.error()));

  const auto& names = lexical_score_params.positional_names;
  // A text of 2- or 4-byte code points is scanned for surrogates by the
  // core as it reads it, rather than once more here. Its error still comes
  // first: where the core finds a surrogate, or the query fails, the text
  // is asked for again with the test made here, which raises it.
  auto text = argument_text(names[0], (*slots)[0], Surrogates::LeftToTheCore);
  if (!text) return std::unexpected(std::move(text.error()));
  auto query = argument_text(names[1], (*slots)[1]);
  if (!query) {
    if (auto checked = argument_text(names[0], (*slots)[0]); !checked) {
      return std::unexpected(std::move(checked.error()));
    }
    return std::unexpected(std::move(query.error()));
  }

  const auto score = scoring::compute_lexical_score_any_form(*text, *query);
  if (!score && score.error().kind == scoring::ScoreError::Kind::SurrogateInText) {
    // A text that passes the test holds no surrogate: the core and the
    // test disagree, and scoring again would not settle it.
    if (auto checked = argument_text(names[0], (*slots)[0]); !checked) {
      return std::unexpected(std::move(checked.error()));
    }
    throw InternalFault(Text("the scoring core found a surrogate that the text does not hold"));
  }
  if (!score) {
    return std::unexpected(
        lazy_error_with_message(PyExc_RuntimeError, scoring::display(score.error())));
  }
  // float to double is exact: Python sees the single-precision quotient.
  return check_new(PyFloat_FromDouble(static_cast<double>(*score))).release();
}

}  // namespace

PyObject* lexical_score_entry(PyObject* /*self*/, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) noexcept {
  // The common call runs without the guard's bookkeeping, which costs as
  // much as scoring a short text; whatever goes wrong in it is handed to the
  // guard, which deals with it as it would have inside.
  try {
    float score;
    if (plain_call_score(args, nargs, kwnames, score)) {
      if (PyObject* result = PyFloat_FromDouble(static_cast<double>(score))) return result;
      return guarded_entry<PyObject*>(
          []() -> std::expected<PyObject*, PyErr> { return check_new(nullptr).release(); },
          nullptr);
    }
  } catch (...) {
    return guarded_entry<PyObject*>([]() -> std::expected<PyObject*, PyErr> { throw; }, nullptr);
  }
  return guarded_entry<PyObject*>([&] { return score_call(args, nargs, kwnames); }, nullptr);
}

}  // namespace corvane::module
