// The exec step's walk over the registration table.
#include "py/frame/registry.h"

#include "py/frame/errors.h"

namespace pelrin::py {
namespace {

// Appends name to the module's __all__, creating the list when missing.
bool add_to_all(PyObject* module, PyObject* name) {
  PyObject* all = nullptr;
  if (PyObject_GetOptionalAttrString(module, "__all__", &all) < 0) return false;
  if (all == nullptr) {
    all = PyList_New(0);
    if (all == nullptr) return false;
    if (PyObject_SetAttrString(module, "__all__", all) < 0) {
      Py_DECREF(all);
      return false;
    }
  }
  const int rc = PyList_Check(all) ? PyList_Append(all, name) : -1;
  Py_DECREF(all);
  if (rc < 0) {
    // The list is ours: failing to grow it is an internal failure.
    raise_internal_panic("could not append to __all__");
    return false;
  }
  return true;
}

}  // namespace

int register_rows(PyObject* module, std::span<const Row> rows) {
  if (!PyModule_Check(module)) {
    set_conversion_error(module, "module");
    return -1;
  }
  for (const Row& row : rows) {
    PyObject* value = nullptr;
    if (row.attribute != nullptr) {
      value = row.attribute();
    } else if (row.class_type != nullptr) {
      value = reinterpret_cast<PyObject*>(row.class_type());
      Py_XINCREF(value);
    } else {
      value = make_function(*row.function, module);
    }
    if (value == nullptr) return -1;
    PyObject* name = PyUnicode_FromString(row.name != nullptr ? row.name : row.function->sig->name);
    if (name == nullptr) {
      Py_DECREF(value);
      return -1;
    }
    const bool ok = add_to_all(module, name) && PyObject_SetAttr(module, name, value) == 0;
    Py_DECREF(name);
    Py_DECREF(value);
    if (!ok) return -1;
  }
  return 0;
}

}  // namespace pelrin::py
