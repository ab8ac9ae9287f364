// Out-of-line parts of the converters.
#include "py/frame/convert.h"

namespace pelrin::py {

bool is_numpy_bool(PyObject* o) noexcept {
  // Matched by name so that NumPy need not be imported (or installed).
  const char* name = Py_TYPE(o)->tp_name;
  return std::strcmp(name, "numpy.bool") == 0 || std::strcmp(name, "numpy.bool_") == 0;
}

bool check_sequence(PyObject* o) {
  if (PyList_Check(o) || PyTuple_Check(o)) return true;
  if (PyUnicode_Check(o)) {
    set_str_as_list_error();
    return false;
  }
  if (!PySequence_Check(o)) {
    set_conversion_error(o, "Sequence");
    return false;
  }
  return true;
}

Py_ssize_t length_hint(PyObject* o) {
  if (PyList_CheckExact(o)) return PyList_GET_SIZE(o);
  if (PyTuple_CheckExact(o)) return PyTuple_GET_SIZE(o);
  const Py_ssize_t n = PySequence_Size(o);
  if (n < 0) {
    PyErr_Clear();
    return 0;
  }
  // Only a hint: a sequence may report more items than it yields.
  return n < (Py_ssize_t{1} << 20) ? n : (Py_ssize_t{1} << 20);
}

void set_tuple_length_error(Py_ssize_t expected, Py_ssize_t given) {
  PyErr_Format(PyExc_ValueError, "expected tuple of length %zd, but got tuple of length %zd",
               expected, given);
}

}  // namespace pelrin::py
