// The extension layer's error value: one interpreter exception held by the
// module.
//
// Contract: a `PyErr` has one owner; it is moved, never copied, and a
// moved-from `PyErr` holds nothing (raising it is an internal fault).
// Dropping it releases every reference it holds, so the thread must be
// attached then (a lazy value whose maker captured only text may be dropped
// anywhere). Its `PyErrState` has three forms: lazy (a `LazyMaker`),
// normalized (an exception instance), empty (only while a normalization
// runs, or after one failed part-way), plus a one-time normalized flag and a
// mutex guarding the record of the normalizing thread.
//
// Operations (all need the thread attached, except `new_lazy` and
// `lazy_error_with_message`, which touch no interpreter state):
// - `new_lazy`, `lazy_error_with_message`: lazy values.
// - `from_exception_object`: normalized when the object is an exception
//   instance (its type has Py_TPFLAGS_BASE_EXC_SUBCLASS), else lazy with the
//   object maker.
// - `set_pending`: consumes the value and makes it the interpreter's pending
//   exception. A lazy value is raised straight from its maker with
//   PyErr_SetObject when the maker's type is an exception class; any other
//   type raises TypeError "exceptions must derive from BaseException".
// - `take_pending`: the pending exception (cleared) as a normalized value,
//   or nothing. A pending `PanicException` (that exact class) is not taken:
//   it resumes as an internal fault (`resume_fault_from_exception`).
// - `fetch_pending`: `take_pending`, or SystemError
//   "attempted to fetch exception but none was set" when nothing is pending.
// - `normalize`: turns a lazy value into its instance, once. It detaches
//   (PyEval_SaveThread) while it waits for or runs the one-time step, and is
//   attached again on every way out. Faults: "Re-entrant normalization of
//   PyErrState detected" (the step, on this thread, reached itself),
//   "Cannot normalize a PyErr while already normalizing it." (an earlier
//   step faulted and left the form empty), "Cannot attach to the Python
//   interpreter while it is finalizing." (the form stays in place, to be
//   released attached), "exception missing after writing to the
//   interpreter". A faulted step may be retried, which finds the form
//   empty; the thread record is cleared when a step ends.
// - `exception_type` (new reference), `exception_value` (borrowed from the
//   value), `exception_traceback` (new reference or null), `exception_cause`
//   (the cause as a `PyErr`, or nothing), `into_exception_object` (consumes;
//   the instance with its traceback set on it again): all normalize first.
// - `report_unraisable`: raises the value and hands it at once to
//   PyErr_WriteUnraisable with the object (or none).
#pragma once

#include <Python.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <variant>

#include "base/allocation.h"
#include "boundary/errors/lazy_maker.h"
#include "boundary/owned_ref.h"

namespace corvane::boundary {

// The implementation's view of the private parts below (py_err_access.h).
struct PyErrAccess;

class PyErrState {
 public:
  struct Empty {};
  using Form = std::variant<Empty, LazyMaker, OwnedRef>;

  // Progress of the one-time normalization step.
  enum Step : int { NotRun = 0, Running = 1, Done = 2 };

  explicit PyErrState(LazyMaker maker) noexcept : form(std::move(maker)), step(NotRun) {}
  explicit PyErrState(OwnedRef instance) noexcept : form(std::move(instance)), step(Done) {}

  // Moves the form out of `other`, which is left empty. Not to be used
  // while `other` is being normalized by another thread.
  PyErrState(PyErrState&& other) noexcept;
  PyErrState& operator=(PyErrState&& other) noexcept;
  PyErrState(const PyErrState&) = delete;
  PyErrState& operator=(const PyErrState&) = delete;
  ~PyErrState() = default;

  // Reached only through the private state of a `PyErr` (py_err_access.h).
  std::mutex mutex;
  std::optional<std::thread::id> normalizing_thread;  // guarded by `mutex`
  Form form;
  std::atomic<int> step;  // the one-time flag: Done once normalized
};

class PyErr {
 public:
  explicit PyErr(PyErrState state) noexcept : state_(std::move(state)) {}
  PyErr(PyErr&&) noexcept = default;
  PyErr& operator=(PyErr&&) noexcept = default;
  PyErr(const PyErr&) = delete;
  PyErr& operator=(const PyErr&) = delete;
  ~PyErr() = default;

 private:
  friend struct PyErrAccess;

  PyErrState state_;
};

PyErr new_lazy(LazyMaker maker) noexcept;
PyErr lazy_error_with_message(PyObject* builtin_class, Text message);
PyErr from_exception_object(OwnedRef object);
void set_pending(PyErr&& err);
std::optional<PyErr> take_pending();
PyErr fetch_pending();
void normalize(PyErr& err);
OwnedRef exception_type(PyErr& err);
PyObject* exception_value(PyErr& err);
OwnedRef exception_traceback(PyErr& err);
std::optional<PyErr> exception_cause(PyErr& err);
OwnedRef into_exception_object(PyErr&& err);
void report_unraisable(PyErr&& err, PyObject* object_or_null);

}  // namespace corvane::boundary
