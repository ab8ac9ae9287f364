// Exception texts of the calling conventions and the InternalPanic class.
#include "py/frame/errors.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "py/frame/once.h"

namespace pelrin::py {

void set_conversion_error(PyObject* given, const char* expected) {
  if (given == Py_None) {
    PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", expected);
    return;
  }
  PyObject* qualname = PyType_GetQualName(Py_TYPE(given));
  if (qualname == nullptr) return;
  PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'", qualname, expected);
  Py_DECREF(qualname);
}

void set_str_as_list_error() {
  PyErr_SetString(PyExc_TypeError,
                  "'str' object cannot be converted to a list; pass a list or tuple");
}

void add_processing_note(const char* name) {
  PyObject* exc = PyErr_GetRaisedException();
  if (exc == nullptr) return;
  PyObject* note = PyUnicode_FromFormat("while processing '%s'", name);
  if (note != nullptr) {
    PyObject* r = PyObject_CallMethod(exc, "add_note", "O", note);
    Py_DECREF(note);
    if (r == nullptr) {
      PyErr_Clear();
    } else {
      Py_DECREF(r);
    }
  } else {
    PyErr_Clear();
  }
  PyErr_SetRaisedException(exc);
}

void raise_error(const Error& error) {
  PyObject* type = PyExc_ValueError;
  switch (error.kind) {
    case ErrorKind::kValue:
      type = PyExc_ValueError;
      break;
    case ErrorKind::kType:
      type = PyExc_TypeError;
      break;
    case ErrorKind::kOverflow:
      type = PyExc_OverflowError;
      break;
    case ErrorKind::kRuntime:
      type = PyExc_RuntimeError;
      break;
    case ErrorKind::kKey:
      type = PyExc_KeyError;
      break;
    case ErrorKind::kIndex:
      type = PyExc_IndexError;
      break;
    case ErrorKind::kOs: {
      // OSError(errno, text[, path]) so that subclasses such as
      // FileNotFoundError are chosen as Python itself would.
      PyObject* args =
          error.path.empty()
              ? Py_BuildValue("(is#)", error.os_errno, error.message.data(),
                              static_cast<Py_ssize_t>(error.message.size()))
              : Py_BuildValue("(is#s#)", error.os_errno, error.message.data(),
                              static_cast<Py_ssize_t>(error.message.size()), error.path.data(),
                              static_cast<Py_ssize_t>(error.path.size()));
      if (args == nullptr) return;
      PyErr_SetObject(PyExc_OSError, args);
      Py_DECREF(args);
      return;
    }
  }
  PyObject* text = PyUnicode_FromStringAndSize(error.message.data(),
                                               static_cast<Py_ssize_t>(error.message.size()));
  if (text == nullptr) return;
  PyErr_SetObject(type, text);
  Py_DECREF(text);
}

namespace {

constexpr const char kPanicDoc[] =
    "Raised when native code called from Python panics (hits an internal failure).\n\n"
    "Like SystemExit, this exception derives from BaseException so that it propagates\n"
    "through the whole stack instead of being caught by ordinary `except Exception` handlers.";

OnceCell<PyObject> g_panic_type;

}  // namespace

PyObject* internal_panic_type() {
  return g_panic_type.get_or_init([]() -> PyObject* {
    return PyErr_NewExceptionWithDoc("pelrin_native.InternalPanic", kPanicDoc, PyExc_BaseException,
                                     nullptr);
  });
}

void raise_internal_panic(const char* message) {
  // Whatever was pending is replaced: the panic is what the caller must see.
  PyErr_Clear();
  PyObject* type = internal_panic_type();
  if (type == nullptr) {
    std::fputs("pelrin_native: internal failure while raising InternalPanic\n", stderr);
    std::abort();
  }
  PyErr_SetString(type, message != nullptr && *message != '\0' ? message : "native code panicked");
}

}  // namespace pelrin::py
