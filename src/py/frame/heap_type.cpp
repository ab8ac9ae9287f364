// Building heap types from ClassSpec data.
#include "py/frame/heap_type.h"

#include <string>
#include <vector>

#include "py/frame/errors.h"

namespace pelrin::py {

PyTypeObject* ClassDef::type() {
  return type_.get_or_init([this]() -> PyTypeObject* {
    const ClassSpec& s = spec_;
    // The tables handed to the interpreter must outlive the type, which lives
    // for the process: they are allocated once and never freed.
    auto* methods = new std::vector<PyMethodDef>();
    for (const MethodDef& m : s.methods) {
      methods->push_back(PyMethodDef{
          m.sig->name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(m.entry)),
          METH_FASTCALL | METH_KEYWORDS, signature_docstring(*m.sig, m.sig->name, true)});
    }
    methods->push_back(PyMethodDef{nullptr, nullptr, 0, nullptr});
    auto* getset = new std::vector<PyGetSetDef>();
    for (const PropertyDef& p : s.properties) {
      getset->push_back(PyGetSetDef{p.name, p.get, p.set, p.doc, const_cast<char*>(p.name)});
    }
    getset->push_back(PyGetSetDef{nullptr, nullptr, nullptr, nullptr, nullptr});

    auto* slots = new std::vector<PyType_Slot>(s.slots.begin(), s.slots.end());
    const char* doc = s.ctor != nullptr ? signature_docstring(*s.ctor, s.name, false) : s.doc;
    slots->push_back({Py_tp_doc, const_cast<char*>(doc)});
    slots->push_back({Py_tp_dealloc, reinterpret_cast<void*>(s.dealloc)});
    if (s.tp_new != nullptr) slots->push_back({Py_tp_new, reinterpret_cast<void*>(s.tp_new)});
    if (!s.methods.empty()) slots->push_back({Py_tp_methods, methods->data()});
    if (!s.properties.empty()) slots->push_back({Py_tp_getset, getset->data()});
    slots->push_back({0, nullptr});

    unsigned int flags = Py_TPFLAGS_DEFAULT;
    if (s.ctor == nullptr) flags |= Py_TPFLAGS_DISALLOW_INSTANTIATION;
    auto* type_spec = new PyType_Spec{keep_text(std::string("builtins.") + s.name),
                                      static_cast<int>(s.basicsize), 0, flags, slots->data()};
    PyObject* type = PyType_FromSpec(type_spec);
    if (type == nullptr) return nullptr;
    if (s.after_create != nullptr &&
        !s.after_create(reinterpret_cast<PyTypeObject*>(type), s.context)) {
      Py_DECREF(type);
      return nullptr;
    }
    return reinterpret_cast<PyTypeObject*>(type);  // one reference kept for the process
  });
}

int read_only_setter(PyObject* self, PyObject* value, void* closure) {
  if (value == nullptr) {
    PyErr_SetString(PyExc_AttributeError, "property has no deleter");
    return -1;
  }
  // The interpreter's own text for a property without a setter.
  PyErr_Format(PyExc_AttributeError, "attribute '%s' of '%s' objects is not writable",
               static_cast<const char*>(closure), Py_TYPE(self)->tp_name);
  return -1;
}

}  // namespace pelrin::py
