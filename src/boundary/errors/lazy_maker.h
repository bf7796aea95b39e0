// The one-shot recipe of a lazily raised exception.
//
// Contract: a `LazyMaker` owns one recipe and the data that the recipe
// captured (a message text, object references); it holds no interpreter
// object that it did not capture, so a maker that captures only text can be
// made and dropped without touching the interpreter. `run()` consumes the
// maker: with the thread attached it yields two new references, the
// exception type and the argument object, and releases the recipe and
// everything it captured before returning (also when it faults). A maker
// runs at most once; running an empty or spent maker is an internal fault.
// It is moved, never copied; a moved-from maker is empty. Dropping a maker
// that captured object references needs the thread attached.
//
// The makers of the module:
// - `message_maker`: the given built-in class (a static interpreter class,
//   not referenced until the maker runs) and a `str` of the message;
// - `fault_maker`: `PanicException` and a one-element tuple holding a `str`
//   of the message;
// - `object_maker`: the captured object itself as the type and None;
// - `type_mismatch_maker`: TypeError and a `str` of
//   "'None' is not an instance of 'E'" when the object is None, else
//   "'T' object is not an instance of 'E'", with T the qualified name of the
//   object's type and E that of the expected type (PyType_GetQualName, lossy
//   text), "<failed to extract type name>" standing for a name that cannot
//   be had (that error is dropped).
// A `str` or tuple that cannot be made is a `null_result_fault`.
#pragma once

#include <Python.h>

#include <new>
#include <utility>

#include "base/allocation.h"
#include "boundary/owned_ref.h"

namespace corvane::boundary {

class LazyMaker {
 public:
  struct Made {
    OwnedRef type;
    OwnedRef argument;
  };

  // A recipe: the captured data and what to make of it.
  class Recipe {
   public:
    virtual ~Recipe() = default;
    virtual Made make() = 0;
  };

  constexpr LazyMaker() noexcept = default;

  // Builds a maker around a new recipe of type `R`, allocated with the
  // module's aborting allocator.
  template <class R, class... Args>
  static LazyMaker of(Args&&... args) {
    void* memory = allocate_or_abort(sizeof(R));
    return LazyMaker(::new (memory) R(std::forward<Args>(args)...));
  }

  LazyMaker(LazyMaker&& other) noexcept : recipe_(std::exchange(other.recipe_, nullptr)) {}
  LazyMaker& operator=(LazyMaker&& other) noexcept {
    if (this != &other) destroy(std::exchange(recipe_, std::exchange(other.recipe_, nullptr)));
    return *this;
  }
  LazyMaker(const LazyMaker&) = delete;
  LazyMaker& operator=(const LazyMaker&) = delete;
  ~LazyMaker() { destroy(recipe_); }

  explicit operator bool() const noexcept { return recipe_ != nullptr; }

  Made run() &&;

 private:
  explicit LazyMaker(Recipe* recipe) noexcept : recipe_(recipe) {}
  static void destroy(Recipe* recipe) noexcept;

  Recipe* recipe_ = nullptr;
};

LazyMaker message_maker(PyObject* builtin_class, Text message);
LazyMaker fault_maker(Text message);
LazyMaker object_maker(OwnedRef object);
LazyMaker type_mismatch_maker(OwnedRef object, OwnedRef expected_type);

}  // namespace corvane::boundary
