#include "batch/query_object.h"

#include <new>
#include <utility>
#include <variant>

#include "base/allocation.h"
#include "base/small_buffer.h"
#include "batch/batch_run.h"
#include "batch/keyword_arguments.h"
#include "batch/late_release.h"
#include "batch/module_state.h"
#include "batch/score_floats.h"
#include "batch/text_batch.h"
#include "boundary/errors/py_err.h"
#include "boundary/faults/null_result.h"
#include "boundary/guarded_entry.h"
#include "module/argument_text.h"
#include "scoring/transcode/fixed_width_text.h"
#include "scoring/unicode/white_space.h"

namespace corvane::batch {

using boundary::check_new;
using boundary::fetch_pending;
using boundary::guarded_entry;
using boundary::lazy_error_with_message;
using boundary::OwnedRef;
using boundary::PyErr;

namespace {

// How many rounds of texts `score_many` on several threads holds before it
// gives their references back.
constexpr std::size_t kLateRounds = 4;

struct QueryObject {
  PyObject_HEAD PyObject* text;  // the query, as given (a str)
  PyObject* words;               // a tuple of str: the words as written
  scoring::PreparedQuery* prepared;
};

QueryObject* as_query(PyObject* self) noexcept { return reinterpret_cast<QueryObject*>(self); }

// The UTF-8 form of a `str`'s text, in `bytes` where it must be made.
std::string_view utf8_of(const scoring::ScoreText& text, Vector<char>& bytes) {
  if (const auto* utf8 = std::get_if<std::string_view>(&text)) return *utf8;
  const auto& units = std::get<scoring::FixedWidthText>(text);
  bytes.resize(scoring::utf8_size_bound(units.width, units.length));
  return {bytes.data(), scoring::encode_utf8_into(units, 0, units.length, bytes.data())};
}

PyErr refused_query(const scoring::ScoreError& error) {
  return lazy_error_with_message(PyExc_RuntimeError, scoring::display(error));
}

// Query(query): the query prepared, its words as written.
std::expected<PyObject*, PyErr> make_query(PyTypeObject* type, PyObject* query) {
  auto text = module::argument_text("query", query);
  if (!text) return std::unexpected(std::move(text.error()));
  Vector<char> bytes;
  const std::string_view utf8 = utf8_of(*text, bytes);
  auto prepared = scoring::PreparedQuery::make(utf8);
  if (!prepared) return std::unexpected(refused_query(prepared.error()));

  OwnedRef words = check_new(PyTuple_New(static_cast<Py_ssize_t>(prepared->word_count())));
  Py_ssize_t k = 0;
  bool failed = false;
  scoring::for_each_word(utf8, [&](std::string_view word) {
    if (failed) return;
    PyObject* item =
        PyUnicode_DecodeUTF8(word.data(), static_cast<Py_ssize_t>(word.size()), nullptr);
    if (item == nullptr) {
      failed = true;
      return;
    }
    PyTuple_SET_ITEM(words.get(), k++, item);
  });
  if (failed) return std::unexpected(fetch_pending());
  // The text the query was made from, as a plain str.
  OwnedRef plain = PyUnicode_CheckExact(query) ? OwnedRef::borrow(query)
                                               : check_new(PyUnicode_FromObject(query));

  OwnedRef self = check_new(type->tp_alloc(type, 0));
  QueryObject* q = as_query(self.get());
  q->text = plain.release();
  q->words = words.release();
  q->prepared = new (std::nothrow) scoring::PreparedQuery(std::move(*prepared));
  if (q->prepared == nullptr)
    return std::unexpected(lazy_error_with_message(PyExc_MemoryError, Text()));
  return self.release();
}

PyObject* query_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  return guarded_entry<PyObject*>(
      [&]() -> std::expected<PyObject*, PyErr> {
        static const char* names[] = {"query", nullptr};
        PyObject* query = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:Query", const_cast<char**>(names),
                                         &query)) {
          return std::unexpected(fetch_pending());
        }
        return make_query(type, query);
      },
      nullptr);
}

void query_dealloc(PyObject* self) noexcept {
  QueryObject* q = as_query(self);
  PyTypeObject* type = Py_TYPE(self);
  delete q->prepared;
  Py_XDECREF(q->text);
  Py_XDECREF(q->words);
  type->tp_free(self);
  // A heap type's instances hold a reference to it.
  Py_DECREF(type);
}

// The text of one argument scored by a prepared query: its surrogate, if
// any, raised as `lexical_score` raises it.
template <class Score>
auto with_text(PyObject* object, Score&& score) -> std::expected<PyObject*, PyErr> {
  auto text = module::argument_text("text", object, module::Surrogates::LeftToTheCore);
  if (!text) return std::unexpected(std::move(text.error()));
  auto result = score(*text);
  if (!result) return std::unexpected(text_refusal(object));
  return *result;
}

PyObject* query_score(PyObject* self, PyObject* text) noexcept {
  return guarded_entry<PyObject*>(
      [&]() -> std::expected<PyObject*, PyErr> {
        return with_text(text, [&](const scoring::ScoreText& view) {
          return as_query(self)->prepared->score(view).transform([](float score) {
            // float to double is exact: Python sees the single-precision quotient.
            return check_new(PyFloat_FromDouble(static_cast<double>(score))).release();
          });
        });
      },
      nullptr);
}

PyObject* query_matched(PyObject* self, PyObject* text) noexcept {
  return guarded_entry<PyObject*>(
      [&]() -> std::expected<PyObject*, PyErr> {
        QueryObject* q = as_query(self);
        const std::size_t count = q->prepared->word_count();
        SmallBuffer<bool, 64> found;
        bool* flags = found.grow(count);
        return with_text(text, [&](const scoring::ScoreText& view) {
          return q->prepared->match(view, std::span<bool>(flags, count))
              .transform([&](std::uint64_t hits) {
                OwnedRef matched = check_new(PyTuple_New(static_cast<Py_ssize_t>(hits)));
                Py_ssize_t at = 0;
                for (std::size_t k = 0; k < count; ++k) {
                  if (!flags[k]) continue;
                  PyTuple_SET_ITEM(
                      matched.get(), at++,
                      Py_NewRef(PyTuple_GET_ITEM(q->words, static_cast<Py_ssize_t>(k))));
                }
                return matched.release();
              });
        });
      },
      nullptr);
}

PyObject* query_score_many(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) noexcept {
  return guarded_entry<PyObject*>(
      [&]() -> std::expected<PyObject*, PyErr> {
        static constexpr std::string_view positional[] = {"texts"};
        static constexpr std::string_view keyword[] = {"workers"};
        PyObject* bound[2];
        if (auto ok = bind("score_many", positional, keyword, args, nargs, kwnames, bound); !ok) {
          return std::unexpected(std::move(ok.error()));
        }
        auto workers = workers_from(bound[1]);
        if (!workers) return std::unexpected(std::move(workers.error()));
        // One list holds the texts and then, as each round ends, their
        // scores in their place.
        auto texts = TextBatch::in_new_list(bound[0]);
        if (!texts) return std::unexpected(std::move(texts.error()));
        const scoring::PreparedQuery* const queries[] = {as_query(self)->prepared};
        ScoreFloats floats(queries[0]->word_count());
        // On more than one thread, a text's reference goes some rounds
        // after its score comes out (batch/late_release.h).
        LateRelease released(*workers > 1 ? kLateRounds * kRoundTexts : 0);
        auto scored =
            score_batch(queries, *texts, *workers,
                        [&](std::size_t first, std::size_t count, std::span<const float> scores) {
                          PyObject* const slots = texts->slots();
                          for (std::size_t t = 0; t < count; ++t) {
                            PyObject* value = floats.get(scores[t]);
                            if (value == nullptr) return false;
                            // The text's round is scored: its reference goes.
                            const auto index = static_cast<Py_ssize_t>(first + t);
                            PyObject* text = PyList_GET_ITEM(slots, index);
                            PyList_SET_ITEM(slots, index, value);
                            released.give(text);
                          }
                          return true;
                        });
        if (!scored) return std::unexpected(std::move(scored.error()));
        return Py_NewRef(texts->slots());
      },
      nullptr);
}

PyObject* query_words(PyObject* self, void*) noexcept { return Py_NewRef(as_query(self)->words); }

PyObject* query_repr(PyObject* self) noexcept {
  return PyUnicode_FromFormat("Query(%R)", as_query(self)->text);
}

Py_hash_t query_hash(PyObject* self) noexcept { return PyObject_Hash(as_query(self)->text); }

PyObject* query_richcompare(PyObject* self, PyObject* other, int op) noexcept {
  if (Py_TYPE(other) != Py_TYPE(self) || (op != Py_EQ && op != Py_NE)) Py_RETURN_NOTIMPLEMENTED;
  const int equal = PyUnicode_Compare(as_query(self)->text, as_query(other)->text) == 0;
  if (PyErr_Occurred()) return nullptr;
  return PyBool_FromLong(op == Py_EQ ? equal : !equal);
}

PyMethodDef query_methods[] = {
    {"score", query_score, METH_O,
     "score($self, text, /)\n--\n\nThe query's score for one text: equal to lexical_score(text, "
     "query)."},
    {"matched", query_matched, METH_O,
     "matched($self, text, /)\n--\n\nThe words of the query found in the text, in query order, "
     "repeats "
     "kept."},
    {"score_many", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(query_score_many)),
     METH_FASTCALL | METH_KEYWORDS,
     "score_many($self, texts, *, workers=1)\n--\n\nOne score per text, each equal to "
     "lexical_score(text, query).\n\nThe texts are read while the interpreter is held and "
     "scored with it released, on `workers` threads (-1: every CPU this process may use)."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef query_getset[] = {
    {"words", query_words, nullptr, "The words of the query as written, in order, repeats kept.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot query_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(query_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(query_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(query_repr)},
    {Py_tp_hash, reinterpret_cast<void*>(query_hash)},
    {Py_tp_richcompare, reinterpret_cast<void*>(query_richcompare)},
    {Py_tp_methods, query_methods},
    {Py_tp_getset, query_getset},
    {Py_tp_doc,
     const_cast<char*>("Query(query)\n--\n\nA query split into words, lowercased and prepared for "
                       "searching once, for scoring many texts.")},
    {0, nullptr},
};

PyType_Spec query_spec = {
    "corvane.Query", sizeof(QueryObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    query_slots,
};

}  // namespace

std::expected<OwnedRef, PyErr> make_query_type(PyObject* module) {
  OwnedRef type = OwnedRef::steal(PyType_FromModuleAndSpec(module, &query_spec, nullptr));
  if (!type) return std::unexpected(fetch_pending());
  return type;
}

PyTypeObject* query_type(PyObject* module) { return module_state(module).query_type; }

const scoring::PreparedQuery* prepared_query(PyObject* object) noexcept {
  PyTypeObject* type = Py_TYPE(object);
  if (type->tp_dealloc != reinterpret_cast<destructor>(query_dealloc)) return nullptr;
  return as_query(object)->prepared;
}

std::expected<OwnedRef, PyErr> query_from(PyObject* module, PyObject* object) {
  if (prepared_query(object) != nullptr) return OwnedRef::borrow(object);
  auto made = make_query(query_type(module), object);
  if (!made) return std::unexpected(std::move(made.error()));
  return OwnedRef::steal(*made);
}

}  // namespace corvane::batch
