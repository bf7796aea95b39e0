// _corvane_probe: test-only functions that drive each path of the boundary
// layer (error values, faults, the guarded entry, the abort paths) from
// Python. Every function runs inside guarded_entry, as the module's own
// entries do.
#include <Python.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <expected>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "base/allocation.h"
#include "boundary/errors/debug_text.h"
#include "boundary/errors/lazy_maker.h"
#include "boundary/errors/object_text.h"
#include "boundary/errors/py_err.h"
#include "boundary/errors/py_err_access.h"
#include "boundary/errors/type_mismatch.h"
#include "boundary/errors/utf8_repair.h"
#include "boundary/faults/internal_fault.h"
#include "boundary/faults/no_unwind.h"
#include "boundary/faults/null_result.h"
#include "boundary/faults/panic_exception.h"
#include "boundary/guarded_entry.h"
#include "boundary/owned_ref.h"

namespace corvane::boundary {
namespace {

using Outcome = std::expected<PyObject*, PyErr>;

template <class Body>
PyObject* entry(Body&& body) {
  return guarded_entry<PyObject*>(std::forward<Body>(body), nullptr);
}

// Parses the call's arguments; a failure is the interpreter's error.
template <class... Out>
std::expected<void, PyErr> parse(PyObject* args, const char* format, Out*... out) {
  if (PyArg_ParseTuple(args, format, out...)) return {};
  return std::unexpected(fetch_pending());
}

PyObject* new_str(std::string_view text) {
  return check_new(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())))
      .release();
}

PyObject* new_none() { return Py_NewRef(Py_None); }

// Yields the two captured objects as they are.
class CapturedRecipe final : public LazyMaker::Recipe {
 public:
  CapturedRecipe(OwnedRef type, OwnedRef argument) noexcept
      : type_(std::move(type)), argument_(std::move(argument)) {}
  LazyMaker::Made make() override { return {std::move(type_), std::move(argument_)}; }

 private:
  OwnedRef type_;
  OwnedRef argument_;
};

// A RuntimeError maker that counts its runs and pauses, detached, so that
// other threads can try the same normalization meanwhile.
std::atomic<int> counted_runs{0};
class CountingRecipe final : public LazyMaker::Recipe {
 public:
  explicit CountingRecipe(int pause_ms) noexcept : pause_ms_(pause_ms) {}
  LazyMaker::Made make() override {
    counted_runs.fetch_add(1);
    if (pause_ms_ > 0) {
      Py_BEGIN_ALLOW_THREADS std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms_));
      Py_END_ALLOW_THREADS
    }
    return {OwnedRef::borrow(PyExc_RuntimeError), check_new(PyUnicode_FromString("counted"))};
  }

 private:
  int pause_ms_;
};

// Faults when run.
class FaultingRecipe final : public LazyMaker::Recipe {
 public:
  explicit FaultingRecipe(Text message) noexcept : message_(std::move(message)) {}
  LazyMaker::Made make() override { throw InternalFault(std::move(message_)); }

 private:
  Text message_;
};

// Normalizes its own error while it runs.
class ReentrantRecipe final : public LazyMaker::Recipe {
 public:
  explicit ReentrantRecipe(PyErr** self) noexcept : self_(self) {}
  LazyMaker::Made make() override {
    normalize(**self_);
    return {OwnedRef::borrow(PyExc_RuntimeError), OwnedRef::borrow(Py_None)};
  }

 private:
  PyErr** self_;
};

// The given class with an argument whose release clears the pending error.
class ClearingRecipe final : public LazyMaker::Recipe {
 public:
  explicit ClearingRecipe(OwnedRef type) noexcept : type_(std::move(type)) {}
  LazyMaker::Made make() override {
    static int anchor;
    OwnedRef capsule = check_new(
        PyCapsule_New(&anchor, "corvane_probe.clearing", [](PyObject*) { PyErr_Clear(); }));
    return {std::move(type_), std::move(capsule)};
  }

 private:
  OwnedRef type_;
};

Text text_argument(PyObject* str) { return lossy_text(str); }

// Whether `err` is known to be normalized: its one-time flag, read as
// `normalize` reads it.
bool is_normalized(PyErr& err) noexcept {
  return PyErrAccess::state(err).step.load(std::memory_order_acquire) == PyErrState::Done;
}

// --- faults and the guard ----------------------------------------------------

PyObject* raise_fault(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    PyObject* message;
    if (auto ok = parse(args, "U", &message); !ok) return std::unexpected(std::move(ok).error());
    throw InternalFault(text_argument(message));
  });
}

PyObject* fault_in_set_pending(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    PyObject* message;
    if (auto ok = parse(args, "U", &message); !ok) return std::unexpected(std::move(ok).error());
    return std::unexpected(new_lazy(LazyMaker::of<FaultingRecipe>(text_argument(message))));
  });
}

PyObject* foreign_exception(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    const char* kind;
    if (auto ok = parse(args, "s", &kind); !ok) return std::unexpected(std::move(ok).error());
    if (std::string_view(kind) == "std") throw std::runtime_error("not a fault");
    throw 42;
  });
}

PyObject* fault_without_unwinding(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    PyObject* message;
    if (auto ok = parse(args, "U", &message); !ok) return std::unexpected(std::move(ok).error());
    Text text = text_argument(message);
    return run_without_unwinding([&]() -> Outcome { throw InternalFault(std::move(text)); });
  });
}

PyObject* allocation_failure(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    unsigned long long bytes;
    if (auto ok = parse(args, "K", &bytes); !ok) return std::unexpected(std::move(ok).error());
    allocation_failed(static_cast<std::size_t>(bytes));
  });
}

// Reserves a text of `n` bytes the way the module sizes its buffers.
PyObject* reserve_text(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    unsigned long long bytes;
    if (auto ok = parse(args, "K", &bytes); !ok) return std::unexpected(std::move(ok).error());
    Text text;
    if (bytes > text.max_size()) throw InternalFault(Text("capacity overflow"));
    text.reserve(static_cast<std::size_t>(bytes));
    return PyLong_FromSize_t(text.capacity());
  });
}

PyObject* panic_type(PyObject*, PyObject*) {
  return entry([&]() -> Outcome { return Py_NewRef(panic_exception_type()); });
}

// --- raising -------------------------------------------------------------------

PyObject* raise_lazy(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    PyObject *type, *argument;
    if (auto ok = parse(args, "OO", &type, &argument); !ok) {
      return std::unexpected(std::move(ok).error());
    }
    return std::unexpected(new_lazy(
        LazyMaker::of<CapturedRecipe>(OwnedRef::borrow(type), OwnedRef::borrow(argument))));
  });
}

PyObject* raise_object(PyObject*, PyObject* object) {
  return entry([&]() -> Outcome {
    return std::unexpected(from_exception_object(OwnedRef::borrow(object)));
  });
}

PyObject* raise_message(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    PyObject *type, *message;
    if (auto ok = parse(args, "OU", &type, &message); !ok) {
      return std::unexpected(std::move(ok).error());
    }
    return std::unexpected(lazy_error_with_message(type, text_argument(message)));
  });
}

PyObject* raise_type_mismatch(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    PyObject *object, *expected;
    if (auto ok = parse(args, "OO", &object, &expected); !ok) {
      return std::unexpected(std::move(ok).error());
    }
    return std::unexpected(type_mismatch_error(object, expected));
  });
}

PyObject* fetch_nothing(PyObject*, PyObject*) {
  return entry([&]() -> Outcome { return std::unexpected(fetch_pending()); });
}

// Makes `exc` pending, takes it back and returns what was taken (or None).
PyObject* take_pending_of(PyObject*, PyObject* exc) {
  return entry([&]() -> Outcome {
    PyErr_SetRaisedException(Py_NewRef(exc));
    std::optional<PyErr> taken = take_pending();
    if (!taken) return new_none();
    return into_exception_object(std::move(*taken)).release();
  });
}

PyObject* take_nothing(PyObject*, PyObject*) {
  return entry([&]() -> Outcome { return PyBool_FromLong(!take_pending().has_value()); });
}

PyObject* report_unraisable_of(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    PyObject *exc, *object;
    if (auto ok = parse(args, "OO", &exc, &object); !ok) {
      return std::unexpected(std::move(ok).error());
    }
    report_unraisable(from_exception_object(OwnedRef::borrow(exc)),
                      object == Py_None ? nullptr : object);
    return new_none();
  });
}

// Makes `exc` pending (unless None), then meets a null result.
PyObject* null_result_with(PyObject*, PyObject* exc) {
  return entry([&]() -> Outcome {
    if (exc != Py_None) PyErr_SetRaisedException(Py_NewRef(exc));
    null_result_fault();
  });
}

PyObject* make_float(PyObject*, PyObject* value) {
  return entry([&]() -> Outcome {
    double x = PyFloat_AsDouble(value);
    if (x == -1.0 && PyErr_Occurred()) return std::unexpected(fetch_pending());
    return check_new(PyFloat_FromDouble(x)).release();
  });
}

// --- text ----------------------------------------------------------------------

PyObject* object_text_of(PyObject*, PyObject* object) {
  return entry([&]() -> Outcome { return new_str(object_text(object)); });
}

PyObject* object_repr_text_of(PyObject*, PyObject* object) {
  return entry([&]() -> Outcome { return new_str(object_repr_text(object)); });
}

PyObject* lossy_text_of(PyObject*, PyObject* object) {
  return entry([&]() -> Outcome { return new_str(lossy_text(object)); });
}

PyObject* repair_utf8_of(PyObject*, PyObject* bytes) {
  return entry([&]() -> Outcome {
    char* data;
    Py_ssize_t size;
    if (PyBytes_AsStringAndSize(bytes, &data, &size) < 0) return std::unexpected(fetch_pending());
    return new_str(repair_utf8(std::string_view(data, static_cast<std::size_t>(size))));
  });
}

PyObject* debug_text_of(PyObject*, PyObject* exc) {
  return entry([&]() -> Outcome {
    PyErr err = from_exception_object(OwnedRef::borrow(exc));
    return new_str(debug_text(err));
  });
}

PyObject* debug_text_of_lazy_runtime_error(PyObject*, PyObject* message) {
  return entry([&]() -> Outcome {
    PyErr err = lazy_error_with_message(PyExc_RuntimeError, text_argument(message));
    return new_str(debug_text(err));
  });
}

PyObject* quoted_text_of(PyObject*, PyObject* str) {
  return entry([&]() -> Outcome { return new_str(quoted_text(lossy_text(str))); });
}

// --- normalization -------------------------------------------------------------

// (first instance, second instance, maker runs, normalized before, after)
PyObject* normalize_twice(PyObject*, PyObject*) {
  return entry([&]() -> Outcome {
    counted_runs.store(0);
    PyErr err = new_lazy(LazyMaker::of<CountingRecipe>(0));
    bool before = is_normalized(err);
    normalize(err);
    OwnedRef first = OwnedRef::borrow(exception_value(err));
    normalize(err);
    OwnedRef second = OwnedRef::borrow(exception_value(err));
    return check_new(Py_BuildValue("(OOiOO)", first.get(), second.get(), counted_runs.load(),
                                   before ? Py_True : Py_False,
                                   is_normalized(err) ? Py_True : Py_False))
        .release();
  });
}

// (exception_type, normalized afterwards) of a lazy RuntimeError.
PyObject* exception_type_of_lazy_runtime_error(PyObject*, PyObject*) {
  return entry([&]() -> Outcome {
    PyErr err = lazy_error_with_message(PyExc_RuntimeError, Text("lazy"));
    OwnedRef type = exception_type(err);
    return check_new(Py_BuildValue("(OO)", type.get(), is_normalized(err) ? Py_True : Py_False))
        .release();
  });
}

PyObject* normalize_lazy(PyObject*, PyObject* message) {
  return entry([&]() -> Outcome {
    PyErr err = lazy_error_with_message(PyExc_RuntimeError, text_argument(message));
    normalize(err);
    return into_exception_object(std::move(err)).release();
  });
}

PyObject* normalize_with_clearing_argument(PyObject*, PyObject* type) {
  return entry([&]() -> Outcome {
    PyErr err = new_lazy(LazyMaker::of<ClearingRecipe>(OwnedRef::borrow(type)));
    normalize(err);
    return into_exception_object(std::move(err)).release();
  });
}

PyObject* reentrant_normalize(PyObject*, PyObject*) {
  return entry([&]() -> Outcome {
    PyErr* self = nullptr;
    PyErr err = new_lazy(LazyMaker::of<ReentrantRecipe>(&self));
    self = &err;
    normalize(err);
    return new_none();
  });
}

// Runs `body` on `n` native threads at once, each attached and inside its
// own guarded entry; gives, per thread, what the body returned or the
// exception it raised. The calling thread waits detached.
template <class Body>
Outcome on_threads(int n, Body body) {
  if (n < 1 || n > 64) {
    return std::unexpected(lazy_error_with_message(PyExc_ValueError, Text("1 to 64 threads")));
  }
  Vector<PyObject*> results(static_cast<std::size_t>(n), nullptr);
  {
    std::barrier start(n);
    Vector<std::thread> threads;
    Py_BEGIN_ALLOW_THREADS for (int i = 0; i < n; ++i) {
      threads.emplace_back([&, i] {
        start.arrive_and_wait();
        PyGILState_STATE gil = PyGILState_Ensure();
        PyObject* result = entry([&]() -> Outcome { return body(); });
        results[static_cast<std::size_t>(i)] =
            result != nullptr ? result : PyErr_GetRaisedException();
        PyGILState_Release(gil);
      });
    }
    for (std::thread& thread : threads) thread.join();
    Py_END_ALLOW_THREADS
  }
  OwnedRef list = check_new(PyList_New(n));
  for (int i = 0; i < n; ++i) PyList_SET_ITEM(list.get(), i, results[static_cast<std::size_t>(i)]);
  return list.release();
}

// ([instance per thread], maker runs)
PyObject* normalize_from_threads(PyObject*, PyObject* count) {
  return entry([&]() -> Outcome {
    long n = PyLong_AsLong(count);
    if (n == -1 && PyErr_Occurred()) return std::unexpected(fetch_pending());
    counted_runs.store(0);
    PyErr err = new_lazy(LazyMaker::of<CountingRecipe>(50));
    Outcome values = on_threads(static_cast<int>(n),
                                [&]() -> Outcome { return Py_NewRef(exception_value(err)); });
    if (!values) return values;
    OwnedRef list = OwnedRef::steal(*values);
    return check_new(Py_BuildValue("(Oi)", list.get(), counted_runs.load())).release();
  });
}

// A value whose normalization faulted: the form is left empty. Kept from
// one call to the next; it holds no reference, so it may outlive the
// interpreter.
PyErr* spoiled = nullptr;

PyObject* spoil(PyObject*, PyObject*) {
  return entry([&]() -> Outcome {
    if (spoiled == nullptr) {
      spoiled = ::new (allocate_or_abort(sizeof(PyErr)))
          PyErr(new_lazy(LazyMaker::of<FaultingRecipe>(Text("maker fault"))));
    }
    normalize(*spoiled);
    return new_none();
  });
}

PyObject* use_spoiled(PyObject*, PyObject* args) {
  return entry([&]() -> Outcome {
    const char* action;
    if (auto ok = parse(args, "s", &action); !ok) return std::unexpected(std::move(ok).error());
    if (spoiled == nullptr) {
      return std::unexpected(lazy_error_with_message(PyExc_ValueError, Text("not spoiled")));
    }
    std::string_view what = action;
    if (what == "set_pending") {
      set_pending(std::move(*spoiled));
      return nullptr;
    }
    if (what == "normalize") {
      normalize(*spoiled);
      return new_none();
    }
    if (what == "normalize_on_thread") {
      return on_threads(1, [&]() -> Outcome {
        normalize(*spoiled);
        return new_none();
      });
    }
    return std::unexpected(lazy_error_with_message(PyExc_ValueError, Text("unknown action")));
  });
}

PyObject* raise_moved_from(PyObject*, PyObject*) {
  return entry([&]() -> Outcome {
    PyErr first = lazy_error_with_message(PyExc_RuntimeError, Text("moved"));
    PyErr second = std::move(first);
    (void)second;
    // Raising the moved-from value is the fault under test.
    return std::unexpected(std::move(first));  // NOLINT(bugprone-use-after-move)
  });
}

// --- inspection ----------------------------------------------------------------

PyObject* exception_type_of(PyObject*, PyObject* exc) {
  return entry([&]() -> Outcome {
    PyErr err = from_exception_object(OwnedRef::borrow(exc));
    return exception_type(err).release();
  });
}

PyObject* exception_cause_of(PyObject*, PyObject* exc) {
  return entry([&]() -> Outcome {
    PyErr err = from_exception_object(OwnedRef::borrow(exc));
    std::optional<PyErr> cause = exception_cause(err);
    if (!cause) return new_none();
    return into_exception_object(std::move(*cause)).release();
  });
}

PyObject* exception_traceback_of(PyObject*, PyObject* exc) {
  return entry([&]() -> Outcome {
    PyErr err = from_exception_object(OwnedRef::borrow(exc));
    OwnedRef traceback = exception_traceback(err);
    return traceback ? traceback.release() : new_none();
  });
}

PyObject* into_exception_object_of(PyObject*, PyObject* exc) {
  return entry([&]() -> Outcome {
    return into_exception_object(from_exception_object(OwnedRef::borrow(exc))).release();
  });
}

// --- the module's execution step ----------------------------------------------

// Runs the execution steps of `module`'s own definition again, as the
// interpreter ran them on import (the interpreter itself never repeats them
// on a module object that it has executed).
PyObject* exec_module_def(PyObject*, PyObject* module) {
  return entry([&]() -> Outcome {
    PyModuleDef* def = PyModule_GetDef(module);
    if (def == nullptr) {
      if (PyErr_Occurred()) return std::unexpected(fetch_pending());
      return std::unexpected(
          lazy_error_with_message(PyExc_ValueError, Text("module has no definition")));
    }
    if (PyModule_ExecDef(module, def) < 0) return std::unexpected(fetch_pending());
    return new_none();
  });
}

PyMethodDef methods[] = {
    {"raise_fault", raise_fault, METH_VARARGS, nullptr},
    {"fault_in_set_pending", fault_in_set_pending, METH_VARARGS, nullptr},
    {"foreign_exception", foreign_exception, METH_VARARGS, nullptr},
    {"fault_without_unwinding", fault_without_unwinding, METH_VARARGS, nullptr},
    {"allocation_failed", allocation_failure, METH_VARARGS, nullptr},
    {"reserve_text", reserve_text, METH_VARARGS, nullptr},
    {"panic_type", panic_type, METH_NOARGS, nullptr},
    {"raise_lazy", raise_lazy, METH_VARARGS, nullptr},
    {"raise_object", raise_object, METH_O, nullptr},
    {"raise_message", raise_message, METH_VARARGS, nullptr},
    {"raise_type_mismatch", raise_type_mismatch, METH_VARARGS, nullptr},
    {"fetch_nothing", fetch_nothing, METH_NOARGS, nullptr},
    {"take_pending_of", take_pending_of, METH_O, nullptr},
    {"take_nothing", take_nothing, METH_NOARGS, nullptr},
    {"report_unraisable_of", report_unraisable_of, METH_VARARGS, nullptr},
    {"null_result_with", null_result_with, METH_O, nullptr},
    {"make_float", make_float, METH_O, nullptr},
    {"object_text", object_text_of, METH_O, nullptr},
    {"object_repr_text", object_repr_text_of, METH_O, nullptr},
    {"lossy_text", lossy_text_of, METH_O, nullptr},
    {"repair_utf8", repair_utf8_of, METH_O, nullptr},
    {"debug_text_of", debug_text_of, METH_O, nullptr},
    {"debug_text_of_lazy_runtime_error", debug_text_of_lazy_runtime_error, METH_O, nullptr},
    {"quoted_text", quoted_text_of, METH_O, nullptr},
    {"normalize_twice", normalize_twice, METH_NOARGS, nullptr},
    {"exception_type_of_lazy_runtime_error", exception_type_of_lazy_runtime_error, METH_NOARGS,
     nullptr},
    {"normalize_lazy", normalize_lazy, METH_O, nullptr},
    {"normalize_with_clearing_argument", normalize_with_clearing_argument, METH_O, nullptr},
    {"reentrant_normalize", reentrant_normalize, METH_NOARGS, nullptr},
    {"normalize_from_threads", normalize_from_threads, METH_O, nullptr},
    {"spoil", spoil, METH_NOARGS, nullptr},
    {"use_spoiled", use_spoiled, METH_VARARGS, nullptr},
    {"raise_moved_from", raise_moved_from, METH_NOARGS, nullptr},
    {"exception_type_of", exception_type_of, METH_O, nullptr},
    {"exception_cause_of", exception_cause_of, METH_O, nullptr},
    {"exception_traceback_of", exception_traceback_of, METH_O, nullptr},
    {"into_exception_object_of", into_exception_object_of, METH_O, nullptr},
    {"exec_module_def", exec_module_def, METH_O, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef_Slot slots[] = {
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef probe_def = {
    PyModuleDef_HEAD_INIT, "_corvane_probe", "", 0, methods, slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace corvane::boundary

PyMODINIT_FUNC PyInit__corvane_probe() { return PyModuleDef_Init(&corvane::boundary::probe_def); }
