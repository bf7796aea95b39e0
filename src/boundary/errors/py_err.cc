#include "boundary/errors/py_err.h"

#include "boundary/errors/py_err_access.h"
#include "boundary/faults/internal_fault.h"
#include "boundary/faults/panic_exception.h"

namespace corvane::boundary {

PyErrState::PyErrState(PyErrState&& other) noexcept
    : form(std::exchange(other.form, Empty{})),
      step(other.step.exchange(NotRun, std::memory_order_acq_rel)) {}

PyErrState& PyErrState::operator=(PyErrState&& other) noexcept {
  if (this != &other) {
    form = std::exchange(other.form, Empty{});
    step.store(other.step.exchange(NotRun, std::memory_order_acq_rel), std::memory_order_release);
    normalizing_thread.reset();
  }
  return *this;
}

namespace {

bool is_exception_class(PyObject* type) noexcept {
  return type != nullptr && PyType_HasFeature(Py_TYPE(type), Py_TPFLAGS_TYPE_SUBCLASS) &&
         PyType_HasFeature(reinterpret_cast<PyTypeObject*>(type), Py_TPFLAGS_BASE_EXC_SUBCLASS);
}

bool is_exception_instance(PyObject* object) noexcept {
  return PyType_HasFeature(Py_TYPE(object), Py_TPFLAGS_BASE_EXC_SUBCLASS);
}

// Runs the maker and makes what it yields the pending exception.
void raise_lazy(LazyMaker maker) {
  LazyMaker::Made made = std::move(maker).run();
  if (is_exception_class(made.type.get())) {
    PyErr_SetObject(made.type.get(), made.argument.get());
  } else {
    PyErr_SetString(PyExc_TypeError, "exceptions must derive from BaseException");
  }
  made.argument.reset();
  made.type.reset();
}

}  // namespace

// The one-time step of a normalization, run detached by the thread that won
// it; attaches for its interpreter calls.
void PyErrAccess::normalize_step(PyErrState& state) {
  {
    std::lock_guard lock(state.mutex);
    state.normalizing_thread = std::this_thread::get_id();
  }
  struct ForgetThread {
    PyErrState& state;
    ~ForgetThread() {
      std::lock_guard lock(state.mutex);
      state.normalizing_thread.reset();
    }
  } forget{state};

  if (std::holds_alternative<PyErrState::Empty>(state.form)) {
    throw InternalFault(Text("Cannot normalize a PyErr while already normalizing it."));
  }
  // The form stays in place until the thread is attached: whatever it
  // holds may only be released attached.
  if (Py_IsFinalizing()) {
    throw InternalFault(Text("Cannot attach to the Python interpreter while it is finalizing."));
  }
  struct Attached {
    PyGILState_STATE gil = PyGILState_Ensure();
    ~Attached() { PyGILState_Release(gil); }
  } attached;

  PyErrState::Form taken = std::exchange(state.form, PyErrState::Empty{});
  OwnedRef instance;
  if (LazyMaker* maker = std::get_if<LazyMaker>(&taken)) {
    raise_lazy(std::move(*maker));
    instance = OwnedRef::steal(PyErr_GetRaisedException());
    if (!instance) {
      throw InternalFault(Text("exception missing after writing to the interpreter"));
    }
  } else {
    instance = std::move(std::get<OwnedRef>(taken));
  }
  state.form = std::move(instance);
}

PyObject* PyErrAccess::instance(PyErrState& state) {
  if (OwnedRef* instance = std::get_if<OwnedRef>(&state.form)) return instance->get();
  throw InternalFault(Text("PyErr state should never be invalid outside of normalization"));
}

PyErr new_lazy(LazyMaker maker) noexcept { return PyErr(PyErrState(std::move(maker))); }

PyErr lazy_error_with_message(PyObject* builtin_class, Text message) {
  return new_lazy(message_maker(builtin_class, std::move(message)));
}

PyErr from_exception_object(OwnedRef object) {
  if (object && is_exception_instance(object.get())) return PyErr(PyErrState(std::move(object)));
  return new_lazy(object_maker(std::move(object)));
}

void set_pending(PyErr&& err) {
  PyErrState& state = PyErrAccess::state(err);
  PyErrState::Form form = std::exchange(state.form, PyErrState::Empty{});
  if (OwnedRef* instance = std::get_if<OwnedRef>(&form)) {
    PyErr_SetRaisedException(instance->release());
  } else if (LazyMaker* maker = std::get_if<LazyMaker>(&form)) {
    raise_lazy(std::move(*maker));
  } else {
    throw InternalFault(Text("PyErr state should never be invalid outside of normalization"));
  }
}

std::optional<PyErr> take_pending() {
  OwnedRef raised = OwnedRef::steal(PyErr_GetRaisedException());
  if (!raised) return std::nullopt;
  if (reinterpret_cast<PyObject*>(Py_TYPE(raised.get())) == panic_exception_type()) {
    resume_fault_from_exception(std::move(raised));
  }
  return PyErr(PyErrState(std::move(raised)));
}

PyErr fetch_pending() {
  if (std::optional<PyErr> taken = take_pending()) return std::move(*taken);
  return lazy_error_with_message(PyExc_SystemError,
                                 Text("attempted to fetch exception but none was set"));
}

void normalize(PyErr& err) {
  PyErrState& state = PyErrAccess::state(err);
  if (state.step.load(std::memory_order_acquire) == PyErrState::Done) return;
  {
    std::lock_guard lock(state.mutex);
    if (state.normalizing_thread == std::this_thread::get_id()) {
      throw InternalFault(Text("Re-entrant normalization of PyErrState detected"));
    }
  }
  struct Detached {
    PyThreadState* thread = PyEval_SaveThread();
    ~Detached() { PyEval_RestoreThread(thread); }
  } detached;

  std::atomic<int>& step = state.step;
  for (;;) {
    int seen = step.load(std::memory_order_acquire);
    if (seen == PyErrState::Done) return;
    if (seen == PyErrState::Running) {
      step.wait(PyErrState::Running, std::memory_order_acquire);
      continue;
    }
    if (!step.compare_exchange_weak(seen, PyErrState::Running, std::memory_order_acq_rel)) {
      continue;
    }
    // This thread runs the step; a fault lets the next attempt run it again
    // (which then finds the form empty).
    struct Settle {
      std::atomic<int>& step;
      int outcome = PyErrState::NotRun;
      ~Settle() {
        step.store(outcome, std::memory_order_release);
        step.notify_all();
      }
    } settle{step};
    PyErrAccess::normalize_step(state);
    settle.outcome = PyErrState::Done;
    return;
  }
}

OwnedRef exception_type(PyErr& err) {
  return OwnedRef::borrow(reinterpret_cast<PyObject*>(Py_TYPE(exception_value(err))));
}

PyObject* exception_value(PyErr& err) {
  normalize(err);
  return PyErrAccess::instance(PyErrAccess::state(err));
}

OwnedRef exception_traceback(PyErr& err) {
  return OwnedRef::steal(PyException_GetTraceback(exception_value(err)));
}

std::optional<PyErr> exception_cause(PyErr& err) {
  OwnedRef cause = OwnedRef::steal(PyException_GetCause(exception_value(err)));
  if (!cause) return std::nullopt;
  return from_exception_object(std::move(cause));
}

OwnedRef into_exception_object(PyErr&& err) {
  normalize(err);
  PyErrState& state = PyErrAccess::state(err);
  OwnedRef instance = OwnedRef::borrow(PyErrAccess::instance(state));
  state.form = PyErrState::Empty{};
  if (OwnedRef traceback = OwnedRef::steal(PyException_GetTraceback(instance.get()))) {
    PyException_SetTraceback(instance.get(), traceback.get());
  }
  return instance;
}

void report_unraisable(PyErr&& err, PyObject* object_or_null) {
  set_pending(std::move(err));
  PyErr_WriteUnraisable(object_or_null);
}

}  // namespace corvane::boundary
