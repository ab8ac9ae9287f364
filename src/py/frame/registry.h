// Rows of a module's registration table, and the exec step that walks them.
#pragma once

#include "py/python.h"

#include <span>

#include "py/frame/entry.h"

namespace pelrin::py {

// One registered name: a plain attribute, a class or a function.
struct Row {
  const char* name;                         // nullptr for functions: their signature's name
  PyObject* (*attribute)() = nullptr;       // a new reference to the value
  PyTypeObject* (*class_type)() = nullptr;  // a borrowed class object
  const FunctionDef* function = nullptr;
};

constexpr Row attribute_row(const char* name, PyObject* (*make)()) { return Row{name, make}; }
constexpr Row class_row(const char* name, PyTypeObject* (*type)()) {
  return Row{name, nullptr, type};
}
// The name is read from the descriptor during the exec step, never during
// static initialisation (descriptors live in other files).
constexpr Row function_row(const FunctionDef& def) { return Row{nullptr, nullptr, nullptr, &def}; }

// Sets every row on `module` in order, appending each name to __all__;
// 0 on success, -1 with the first failure's exception.
int register_rows(PyObject* module, std::span<const Row> rows);

}  // namespace pelrin::py
