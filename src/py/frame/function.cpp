// Built-in function objects for module functions.
#include <mutex>

#include "absl/container/flat_hash_map.h"
#include "py/frame/entry.h"

namespace pelrin::py {

PyObject* make_function(const FunctionDef& def, PyObject* module) {
  // The interpreter keeps pointers into the PyMethodDef, so each one is
  // built once per process (with its docstring) and never freed.
  static std::mutex mu;
  static auto* defs = new absl::flat_hash_map<const FunctionDef*, PyMethodDef*>();
  PyMethodDef* md = nullptr;
  {
    std::lock_guard<std::mutex> lock(mu);
    PyMethodDef*& slot = (*defs)[&def];
    if (slot == nullptr) {
      PyCFunction entry = def.noargs;
      int flags = METH_NOARGS;
      if (entry == nullptr) {
        entry = reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(def.entry));
        flags = METH_FASTCALL | METH_KEYWORDS;
      }
      slot = new PyMethodDef{def.sig->name, entry, flags,
                             signature_docstring(*def.sig, def.sig->name, false)};
    }
    md = slot;
  }
  PyObject* module_name = PyModule_GetNameObject(module);
  if (module_name == nullptr) return nullptr;
  PyObject* fn = PyCFunction_NewEx(md, module, module_name);
  Py_DECREF(module_name);
  return fn;
}

}  // namespace pelrin::py
