// Argument matching with the module's message forms, and text signatures.
#include "py/frame/signature.h"

#include <deque>
#include <mutex>
#include <string_view>

#include "core/base/float_format.h"

namespace pelrin::py {
namespace {

std::string message_name(const Signature& sig) {
  std::string name;
  if (sig.owner != nullptr) {
    name += sig.owner;
    name += '.';
  }
  name += sig.name;
  name += "()";
  return name;
}

void too_many_positional(const Signature& sig, Py_ssize_t given) {
  const std::string f = message_name(sig);
  const std::size_t n = sig.size();
  const std::size_t r = sig.required();
  const char* verb = given == 1 ? "was" : "were";
  if (r == n) {
    PyErr_Format(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given", f.c_str(),
                 n, given, verb);
  } else {
    PyErr_Format(PyExc_TypeError, "%s takes from %zu to %zu positional arguments but %zd %s given",
                 f.c_str(), r, n, given, verb);
  }
}

// Places one keyword argument; false with a TypeError set when it matches
// no parameter or one already filled.
bool place_keyword(const Signature& sig, PyObject* key, PyObject* value, PyObject** slots) {
  if (!PyUnicode_Check(key)) {
    PyErr_SetString(PyExc_TypeError, "keywords must be strings");
    return false;
  }
  Py_ssize_t key_len = 0;
  const char* key_utf8 = PyUnicode_AsUTF8AndSize(key, &key_len);
  if (key_utf8 == nullptr) return false;
  const std::string_view k(key_utf8, static_cast<std::size_t>(key_len));
  for (std::size_t i = 0; i < sig.size(); ++i) {
    if (k == sig.params[i].name) {
      if (slots[i] != nullptr) {
        PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'",
                     message_name(sig).c_str(), sig.params[i].name);
        return false;
      }
      slots[i] = value;
      return true;
    }
  }
  PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'",
               message_name(sig).c_str(), key);
  return false;
}

bool check_missing(const Signature& sig, PyObject* const* slots) {
  std::size_t missing = 0;
  for (std::size_t i = 0; i < sig.size(); ++i)
    missing += sig.params[i].required() && slots[i] == nullptr;
  if (missing == 0) return true;
  std::string list;
  std::size_t seen = 0;
  for (std::size_t i = 0; i < sig.size(); ++i) {
    if (!sig.params[i].required() || slots[i] != nullptr) continue;
    if (seen > 0) {
      if (missing == 2) {
        list += " and ";
      } else if (seen + 1 == missing) {
        list += ", and ";
      } else {
        list += ", ";
      }
    }
    list += '\'';
    list += sig.params[i].name;
    list += '\'';
    ++seen;
  }
  PyErr_Format(PyExc_TypeError, "%s missing %zu required positional argument%s: %s",
               message_name(sig).c_str(), missing, missing == 1 ? "" : "s", list.c_str());
  return false;
}

void append_str_repr(std::string& out, const char* s) {
  // The same quoting as Python's repr() for the plain texts used as defaults.
  out += '\'';
  for (const char* p = s; *p != '\0'; ++p) {
    const char c = *p;
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\'':
        out += "\\'";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  out += '\'';
}

}  // namespace

bool match_vector(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                  PyObject** slots) {
  const auto n = static_cast<Py_ssize_t>(sig.size());
  if (nargs > n) {
    too_many_positional(sig, nargs);
    return false;
  }
  for (Py_ssize_t i = 0; i < n; ++i) slots[i] = i < nargs ? args[i] : nullptr;
  if (kwnames != nullptr) {
    const Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t j = 0; j < nkw; ++j) {
      if (!place_keyword(sig, PyTuple_GET_ITEM(kwnames, j), args[nargs + j], slots)) return false;
    }
  }
  if (nargs < static_cast<Py_ssize_t>(sig.required()) || kwnames != nullptr) {
    return check_missing(sig, slots);
  }
  return true;
}

bool match_tuple(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** slots) {
  const Py_ssize_t nargs = PyTuple_GET_SIZE(args);
  const auto n = static_cast<Py_ssize_t>(sig.size());
  if (nargs > n) {
    too_many_positional(sig, nargs);
    return false;
  }
  for (Py_ssize_t i = 0; i < n; ++i) slots[i] = i < nargs ? PyTuple_GET_ITEM(args, i) : nullptr;
  if (kwargs != nullptr) {
    Py_ssize_t pos = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      if (!place_keyword(sig, key, value, slots)) return false;
    }
  }
  return check_missing(sig, slots);
}

PyObject* default_object(const Default& def) {
  switch (def.kind) {
    case DefaultKind::kNone:
      Py_RETURN_NONE;
    case DefaultKind::kBool:
      return PyBool_FromLong(def.b);
    case DefaultKind::kInt:
      return PyLong_FromLongLong(def.i);
    case DefaultKind::kFloat:
      return PyFloat_FromDouble(def.d);
    case DefaultKind::kStr:
      return PyUnicode_FromString(def.s);
    case DefaultKind::kRequired:
      break;
  }
  PyErr_SetString(PyExc_SystemError, "required parameter has no default");
  return nullptr;
}

std::string text_signature(const Signature& sig, const char* name, bool as_method) {
  std::string out = name != nullptr ? name : "";
  out += '(';
  bool first = true;
  if (as_method) {
    out += "$self";
    first = false;
  }
  for (const Param& p : sig.params) {
    if (!first) out += ", ";
    first = false;
    out += p.name;
    const Default& d = p.def;
    if (d.shown != nullptr) {
      out += '=';
      out += d.shown;
      continue;
    }
    switch (d.kind) {
      case DefaultKind::kRequired:
        break;
      case DefaultKind::kNone:
        out += "=None";
        break;
      case DefaultKind::kBool:
        out += d.b ? "=True" : "=False";
        break;
      case DefaultKind::kInt:
        out += '=' + std::to_string(d.i);
        break;
      case DefaultKind::kFloat:
        out += '=' + python_float_repr(d.d);
        break;
      case DefaultKind::kStr:
        out += '=';
        append_str_repr(out, d.s);
        break;
    }
  }
  out += ')';
  return out;
}

const char* keep_text(std::string text) {
  static std::mutex mu;
  static auto* store = new std::deque<std::string>();  // lives until the process ends
  std::lock_guard<std::mutex> lock(mu);
  store->push_back(std::move(text));
  return store->back().c_str();
}

const char* signature_docstring(const Signature& sig, const char* name, bool as_method) {
  std::string doc = text_signature(sig, name, as_method);
  doc += "\n--\n\n";
  if (sig.doc != nullptr) doc += sig.doc;
  return keep_text(std::move(doc));
}

}  // namespace pelrin::py
