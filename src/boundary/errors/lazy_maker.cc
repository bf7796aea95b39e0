#include "boundary/errors/lazy_maker.h"

#include "boundary/errors/object_text.h"
#include "boundary/faults/internal_fault.h"
#include "boundary/faults/null_result.h"
#include "boundary/faults/panic_exception.h"

namespace corvane::boundary {

LazyMaker::Made LazyMaker::run() && {
  if (recipe_ == nullptr) throw InternalFault(Text("lazy exception maker run twice"));
  // Released whether the recipe succeeds or faults.
  struct Spend {
    Recipe* recipe;
    ~Spend() { destroy(recipe); }
  } spend{std::exchange(recipe_, nullptr)};
  return spend.recipe->make();
}

void LazyMaker::destroy(Recipe* recipe) noexcept {
  if (recipe == nullptr) return;
  recipe->~Recipe();
  release_allocation(recipe);
}

namespace {

OwnedRef str_of(std::string_view text) {
  return check_new(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

class MessageRecipe final : public LazyMaker::Recipe {
 public:
  MessageRecipe(PyObject* builtin_class, Text message) noexcept
      : class_(builtin_class), message_(std::move(message)) {}
  LazyMaker::Made make() override {
    OwnedRef argument = str_of(message_);
    return {OwnedRef::borrow(class_), std::move(argument)};
  }

 private:
  PyObject* class_;  // a static interpreter class, referenced only when made
  Text message_;
};

class FaultRecipe final : public LazyMaker::Recipe {
 public:
  explicit FaultRecipe(Text message) noexcept : message_(std::move(message)) {}
  LazyMaker::Made make() override {
    OwnedRef type = OwnedRef::borrow(panic_exception_type());
    OwnedRef text = str_of(message_);
    OwnedRef arguments = check_new(PyTuple_New(1));
    PyTuple_SET_ITEM(arguments.get(), 0, text.release());
    return {std::move(type), std::move(arguments)};
  }

 private:
  Text message_;
};

class ObjectRecipe final : public LazyMaker::Recipe {
 public:
  explicit ObjectRecipe(OwnedRef object) noexcept : object_(std::move(object)) {}
  LazyMaker::Made make() override { return {std::move(object_), OwnedRef::borrow(Py_None)}; }

 private:
  OwnedRef object_;
};

// The qualified name of `type`, or the stand-in when it cannot be had.
Text qualified_name_or_stand_in(PyObject* type) {
  if (type != nullptr && PyType_Check(type)) {
    if (OwnedRef name =
            OwnedRef::steal(PyType_GetQualName(reinterpret_cast<PyTypeObject*>(type)))) {
      return lossy_text(name.get());
    }
    drop_pending_error();
  }
  return Text("<failed to extract type name>");
}

class TypeMismatchRecipe final : public LazyMaker::Recipe {
 public:
  TypeMismatchRecipe(OwnedRef object, OwnedRef expected_type) noexcept
      : object_(std::move(object)), expected_type_(std::move(expected_type)) {}
  LazyMaker::Made make() override {
    Text message;
    if (object_.get() == Py_None) {
      message = "'None' is not an instance of '";
    } else {
      message = "'";
      message += qualified_name_or_stand_in(reinterpret_cast<PyObject*>(Py_TYPE(object_.get())));
      message += "' object is not an instance of '";
    }
    message += qualified_name_or_stand_in(expected_type_.get());
    message += "'";
    OwnedRef argument = str_of(message);
    return {OwnedRef::borrow(PyExc_TypeError), std::move(argument)};
  }

 private:
  OwnedRef object_;
  OwnedRef expected_type_;
};

}  // namespace

LazyMaker message_maker(PyObject* builtin_class, Text message) {
  return LazyMaker::of<MessageRecipe>(builtin_class, std::move(message));
}

LazyMaker fault_maker(Text message) { return LazyMaker::of<FaultRecipe>(std::move(message)); }

LazyMaker object_maker(OwnedRef object) { return LazyMaker::of<ObjectRecipe>(std::move(object)); }

LazyMaker type_mismatch_maker(OwnedRef object, OwnedRef expected_type) {
  return LazyMaker::of<TypeMismatchRecipe>(std::move(object), std::move(expected_type));
}

}  // namespace corvane::boundary
