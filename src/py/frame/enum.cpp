// Enumeration classes over heap types.
#include "py/frame/enum.h"

#include <iterator>
#include <string>

#include "core/base/panic.h"
#include "py/frame/errors.h"

namespace pelrin::py {
namespace {

EnumValue& state(PyObject* o) { return as_object<EnumValue>(o)->value; }

PyObject* enum_repr(PyObject* self) {
  const EnumValue& v = state(self);
  return PyUnicode_FromFormat("%s.%s", v.class_name, v.member->attr);
}

PyObject* enum_str(PyObject* self) { return PyUnicode_FromString(state(self).member->text); }

PyObject* enum_int(PyObject* self) { return PyLong_FromLongLong(state(self).value); }

PyObject* enum_richcompare(PyObject* self, PyObject* other, int op) {
  if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
  bool equal = false;
  if (Py_TYPE(other) == Py_TYPE(self)) {
    equal = state(other).value == state(self).value;
  } else if (PyIndex_Check(other)) {
    // Anything readable as a native integer compares by value; an integer
    // beyond the native range is simply not comparable.
    PyObject* index = PyNumber_Index(other);
    if (index == nullptr) return nullptr;
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(index, &overflow);
    Py_DECREF(index);
    if (v == -1 && PyErr_Occurred()) return nullptr;
    if (overflow != 0) Py_RETURN_NOTIMPLEMENTED;
    equal = v == state(self).value;
  } else {
    Py_RETURN_NOTIMPLEMENTED;
  }
  return PyBool_FromLong((op == Py_EQ) == equal);
}

}  // namespace

EnumDef::EnumDef(const char* name, const char* doc, std::span<const EnumMember> members,
                 std::span<const MethodDef> methods)
    : name_(name),
      members_(members),
      slots_{{Py_tp_repr, reinterpret_cast<void*>(enum_repr)},
             {Py_tp_str, reinterpret_cast<void*>(enum_str)},
             {Py_nb_int, reinterpret_cast<void*>(enum_int)},
             {Py_tp_richcompare, reinterpret_cast<void*>(enum_richcompare)},
             {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
             {0, nullptr}},
      spec_{name,
            doc,
            nullptr,
            nullptr,
            sizeof(Object<EnumValue>),
            dealloc_object<EnumValue>,
            methods,
            {},
            std::span<const PyType_Slot>(slots_, 5),
            &EnumDef::create_members,
            this},
      class_(spec_) {
  PELRIN_CHECK(members.size() <= std::size(objects_));
}

bool EnumDef::create_members(PyTypeObject* type, const void* context) {
  auto* self = static_cast<EnumDef*>(const_cast<void*>(context));
  for (std::size_t i = 0; i < self->members_.size(); ++i) {
    const EnumMember& m = self->members_[i];
    PyObject* o = new_object<EnumValue>(type, EnumValue{m.value, &m, self->name_});
    if (o == nullptr) return false;
    if (PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), m.attr, o) < 0) {
      Py_DECREF(o);
      return false;
    }
    self->objects_[i] = o;  // one reference kept for the process
  }
  return true;
}

PyObject* EnumDef::member(long long value) {
  if (type() == nullptr) return nullptr;
  for (std::size_t i = 0; i < members_.size(); ++i) {
    if (members_[i].value == value) return Py_NewRef(objects_[i]);
  }
  panic(std::string("no member of ") + name_ + " has the value " + std::to_string(value));
}

bool EnumDef::value_of(PyObject* o, long long& out) {
  PyTypeObject* t = type();
  if (t == nullptr || Py_TYPE(o) != t) return false;
  out = state(o).value;
  return true;
}

}  // namespace pelrin::py
