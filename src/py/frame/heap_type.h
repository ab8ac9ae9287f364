// The module's classes: data describing each class, and its heap type,
// created once per process on first use.
#pragma once

#include "py/python.h"

#include <cstddef>
#include <span>

#include "py/frame/object.h"
#include "py/frame/once.h"
#include "py/frame/signature.h"

namespace pelrin::py {

using FastMethod = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

// A method with the fast calling convention; its docstring comes from sig.
struct MethodDef {
  const Signature* sig;
  FastMethod entry;
};

struct PropertyDef {
  const char* name;
  getter get;
  setter set;  // every property has one: it refuses deletion and, for
               // read-only properties, assignment (read_only_setter); the
               // closure both receive is the property's name
  const char* doc;
};

// Everything that makes one class. Classes never allow subclassing; a class
// without a constructor (ctor == nullptr) cannot be instantiated.
struct ClassSpec {
  const char* name;       // bare name; the type's full name is "builtins.<name>"
  const char* doc;        // the description
  const Signature* ctor;  // the constructor's parameters, or nullptr
  newfunc tp_new;         // with ctor
  std::size_t basicsize;  // sizeof(Object<T>)
  destructor dealloc;     // dealloc_object<T>
  std::span<const MethodDef> methods;
  std::span<const PropertyDef> properties;
  std::span<const PyType_Slot> slots;  // repr, str, richcompare, hash, number slots...
  // Runs once after the type is created (for example to add enum members as
  // class attributes); returns false with an exception set on failure.
  bool (*after_create)(PyTypeObject* type, const void* context) = nullptr;
  const void* context = nullptr;
};

// A class: its description and its type object, built on first use.
class ClassDef {
 public:
  explicit constexpr ClassDef(const ClassSpec& spec) : spec_(spec) {}

  // The class object (borrowed), or nullptr with an exception set.
  PyTypeObject* type();
  const ClassSpec& spec() const { return spec_; }

 private:
  const ClassSpec& spec_;
  OnceCell<PyTypeObject> type_;
};

// Maps a core type to its Python class; area files specialise it:
//   template <> struct ClassOf<core::Thing> { static ClassDef& def(); };
template <class T>
struct ClassOf;

template <class T>
concept PyClass = requires { ClassOf<T>::def(); };

template <PyClass T>
PyTypeObject* class_type() {
  return ClassOf<T>::def().type();
}

// A new instance of T's class holding `value`.
template <PyClass T, class V>
PyObject* wrap(V&& value) {
  PyTypeObject* type = class_type<T>();
  if (type == nullptr) return nullptr;
  return new_object<T>(type, std::forward<V>(value));
}

// The setter of a read-only property: refuses assignment with the
// interpreter's own text and deletion with "property has no deleter".
int read_only_setter(PyObject* self, PyObject* value, void* closure);

}  // namespace pelrin::py
