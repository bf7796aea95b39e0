// The module `corvane._native`, behind the package `corvane`: the types
// Query and ScoreMatrix, and the batch functions extract and cdist. Its
// execution step makes the types and the functions; its slots say that it
// needs no global interpreter lock; PyInit__native hands the definition to
// the interpreter (multi-phase initialisation).

#include <Python.h>

#include <algorithm>
#include <expected>
#include <limits>
#include <utility>

#include "base/allocation.h"
#include "batch/batch_run.h"
#include "batch/keyword_arguments.h"
#include "batch/module_state.h"
#include "batch/query_object.h"
#include "batch/score_matrix.h"
#include "batch/text_batch.h"
#include "boundary/errors/py_err.h"
#include "boundary/faults/no_unwind.h"
#include "boundary/faults/null_result.h"
#include "boundary/guarded_entry.h"
#include "boundary/owned_ref.h"
#include "scoring/arch/kernel_table.h"

namespace corvane::batch {

using boundary::check_new;
using boundary::fetch_pending;
using boundary::guarded_entry;
using boundary::lazy_error_with_message;
using boundary::OwnedRef;
using boundary::PyErr;

namespace {

// extract(query, choices, *, limit=5, score_cutoff=None, workers=1)
std::expected<PyObject*, PyErr> extract(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                                        PyObject* kwnames) {
  static constexpr std::string_view positional[] = {"query", "choices"};
  static constexpr std::string_view keyword[] = {"limit", "score_cutoff", "workers"};
  PyObject* bound[5];
  if (auto ok = bind("extract", positional, keyword, args, nargs, kwnames, bound); !ok) {
    return std::unexpected(std::move(ok.error()));
  }
  auto query = query_from(module, bound[0]);
  if (!query) return std::unexpected(std::move(query.error()));
  std::size_t limit = 5;
  if (bound[2] != nullptr && bound[2] != Py_None) {
    if (!PyLong_Check(bound[2]) || PyBool_Check(bound[2])) {
      return std::unexpected(
          lazy_error_with_message(PyExc_TypeError, Text("limit must be an int or None")));
    }
    const Py_ssize_t n = PyLong_AsSsize_t(bound[2]);
    if (n == -1 && PyErr_Occurred()) return std::unexpected(fetch_pending());
    if (n < 0) {
      return std::unexpected(
          lazy_error_with_message(PyExc_ValueError, Text("limit must be at least 0")));
    }
    limit = static_cast<std::size_t>(n);
  } else if (bound[2] == Py_None) {
    limit = std::numeric_limits<std::size_t>::max();
  }
  bool has_cutoff = false;
  double cutoff = 0.0;
  if (bound[3] != nullptr && bound[3] != Py_None) {
    cutoff = PyFloat_AsDouble(bound[3]);
    if (cutoff == -1.0 && PyErr_Occurred()) return std::unexpected(fetch_pending());
    has_cutoff = true;
  }
  auto workers = workers_from(bound[4]);
  if (!workers) return std::unexpected(std::move(workers.error()));
  auto texts = TextBatch::from(bound[1], TextBatch::Keys::FromMapping);
  if (!texts) return std::unexpected(std::move(texts.error()));

  // The best `limit` so far, the worst of them at the front of the heap:
  // better is a higher score, or the same score at a lower index.
  struct Entry {
    float score;
    std::size_t index;
  };
  const auto better = [](const Entry& a, const Entry& b) {
    return a.score > b.score || (a.score == b.score && a.index < b.index);
  };
  Vector<Entry> best;
  best.reserve(std::min(limit, texts->size()));
  const scoring::PreparedQuery* const queries[] = {prepared_query(query->get())};
  if (limit != 0) {
    auto scored =
        score_batch(queries, *texts, *workers,
                    [&](std::size_t first, std::size_t count, std::span<const float> scores) {
                      for (std::size_t t = 0; t < count; ++t) {
                        const Entry entry{scores[t], first + t};
                        if (has_cutoff && static_cast<double>(entry.score) < cutoff) continue;
                        if (best.size() < limit) {
                          best.push_back(entry);
                          std::push_heap(best.begin(), best.end(), better);
                        } else if (better(entry, best.front())) {
                          std::pop_heap(best.begin(), best.end(), better);
                          best.back() = entry;
                          std::push_heap(best.begin(), best.end(), better);
                        }
                      }
                      return true;
                    });
    if (!scored) return std::unexpected(std::move(scored.error()));
  }
  std::sort_heap(best.begin(), best.end(), better);
  OwnedRef found = check_new(PyList_New(static_cast<Py_ssize_t>(best.size())));
  for (std::size_t k = 0; k < best.size(); ++k) {
    const Entry& e = best[k];
    PyObject* key = texts->key(e.index);
    OwnedRef where = key != nullptr ? OwnedRef::borrow(key) : check_new(PyLong_FromSize_t(e.index));
    OwnedRef score = check_new(PyFloat_FromDouble(static_cast<double>(e.score)));
    PyList_SET_ITEM(
        found.get(), static_cast<Py_ssize_t>(k),
        check_new(PyTuple_Pack(3, texts->at(e.index), score.get(), where.get())).release());
  }
  return found.release();
}

// cdist(queries, choices, *, workers=1)
std::expected<PyObject*, PyErr> cdist(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                                      PyObject* kwnames) {
  static constexpr std::string_view positional[] = {"queries", "choices"};
  static constexpr std::string_view keyword[] = {"workers"};
  PyObject* bound[3];
  if (auto ok = bind("cdist", positional, keyword, args, nargs, kwnames, bound); !ok) {
    return std::unexpected(std::move(ok.error()));
  }
  auto workers = workers_from(bound[2]);
  if (!workers) return std::unexpected(std::move(workers.error()));
  auto query_items = TextBatch::from(bound[0]);
  if (!query_items) return std::unexpected(std::move(query_items.error()));
  // Each query prepared once; the Query objects hold what they prepared.
  const std::size_t rows = query_items->size();
  Vector<OwnedRef> held;
  Vector<const scoring::PreparedQuery*> queries;
  held.reserve(rows);
  queries.reserve(rows);
  for (std::size_t r = 0; r < rows; ++r) {
    auto query = query_from(module, query_items->at(r));
    if (!query) {
      return std::unexpected(
          with_index_note(std::move(query.error()), "while preparing the query at index", r));
    }
    queries.push_back(prepared_query(query->get()));
    held.push_back(std::move(*query));
  }
  auto texts = TextBatch::from(bound[1]);
  if (!texts) return std::unexpected(std::move(texts.error()));
  const std::size_t columns = texts->size();
  if (columns != 0 && rows > std::numeric_limits<std::size_t>::max() / sizeof(float) / columns) {
    return std::unexpected(lazy_error_with_message(PyExc_MemoryError, Text()));
  }
  auto matrix = new_matrix(module_state(module).matrix_type, rows, columns);
  if (!matrix) return std::unexpected(std::move(matrix.error()));
  float* data = matrix_data(matrix->get());
  if (rows != 0) {
    auto scored =
        score_batch(queries, *texts, *workers,
                    [&](std::size_t first, std::size_t count, std::span<const float> scores) {
                      for (std::size_t r = 0; r < rows; ++r) {
                        std::copy_n(scores.data() + r * count, count, data + r * columns + first);
                      }
                      return true;
                    });
    if (!scored) return std::unexpected(std::move(scored.error()));
  }
  return matrix->release();
}

template <auto Function>
PyObject* entry(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                PyObject* kwnames) noexcept {
  return guarded_entry<PyObject*>([&] { return Function(module, args, nargs, kwnames); }, nullptr);
}

PyCFunction as_method(PyCFunctionFastWithKeywords function) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

PyMethodDef module_methods[] = {
    {"extract", as_method(entry<extract>), METH_FASTCALL | METH_KEYWORDS,
     "extract(query, choices, *, limit=5, score_cutoff=None, workers=1)\n--\n\n"
     "The best `limit` choices for the query as (choice, score, index) tuples, best first, "
     "ties by index; a mapping gives its keys in place of indexes. `query` is a str or a "
     "Query; None for `limit` keeps every choice, `score_cutoff` drops those below it."},
    {"cdist", as_method(entry<cdist>), METH_FASTCALL | METH_KEYWORDS,
     "cdist(queries, choices, *, workers=1)\n--\n\n"
     "Every query's score for every choice: a ScoreMatrix of single-precision floats, a row "
     "per query and a column per choice. Each query is prepared once."},
    {nullptr, nullptr, 0, nullptr},
};

std::expected<int, PyErr> execute(PyObject* module) {
  if (const std::string_view refused = scoring::isa_override_error(); !refused.empty()) {
    return std::unexpected(lazy_error_with_message(PyExc_ImportError, Text(refused)));
  }
  ModuleState& state = module_state(module);
  auto query = make_query_type(module);
  if (!query) return std::unexpected(std::move(query.error()));
  auto matrix = make_matrix_type(module);
  if (!matrix) return std::unexpected(std::move(matrix.error()));
  if (PyModule_AddObjectRef(module, "Query", query->get()) < 0 ||
      PyModule_AddObjectRef(module, "ScoreMatrix", matrix->get()) < 0) {
    return std::unexpected(fetch_pending());
  }
  state.query_type = reinterpret_cast<PyTypeObject*>(query->release());
  state.matrix_type = reinterpret_cast<PyTypeObject*>(matrix->release());
  return 0;
}

int module_exec(PyObject* module) noexcept {
  return guarded_entry<int>([module] { return execute(module); }, -1);
}

int module_traverse(PyObject* module, visitproc visit, void* arg) noexcept {
  ModuleState& state = module_state(module);
  Py_VISIT(state.query_type);
  Py_VISIT(state.matrix_type);
  return 0;
}

int module_clear(PyObject* module) noexcept {
  ModuleState& state = module_state(module);
  Py_CLEAR(state.query_type);
  Py_CLEAR(state.matrix_type);
  return 0;
}

void module_free(void* module) noexcept { module_clear(static_cast<PyObject*>(module)); }

PyModuleDef_Slot module_slots[] = {
    // The types and functions are made per module object.
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    // Nothing here relies on the global lock: the batch state lives on
    // each call's stack and every object it shares is immutable.
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "corvane._native",
    "The native part of corvane: Query, extract and cdist.",
    sizeof(ModuleState),
    module_methods,
    module_slots,
    module_traverse,
    module_clear,
    module_free,
};

}  // namespace
}  // namespace corvane::batch

// The interpreter cannot receive a C++ exception: a fault that got this far
// ends the process after a report.
PyMODINIT_FUNC PyInit__native(void) {
  return corvane::boundary::run_without_unwinding(
      [] { return PyModuleDef_Init(&corvane::batch::module_def); });
}
