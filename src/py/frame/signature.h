// Callable descriptions: parameter names and defaults, argument matching, and
// the text-signature docstring generated from them.
#pragma once

#include "py/python.h"

#include <cstddef>
#include <span>
#include <string>

namespace pelrin::py {

struct NoneDefault {};
inline constexpr NoneDefault kNoneDefault{};

// Text shown for a default in the text signature instead of its repr, for
// a documented form such as "arguments=...".
struct ShownAs {
  const char* text;
};

enum class DefaultKind : unsigned char { kRequired, kNone, kBool, kInt, kFloat, kStr };

// A parameter's default, as a Python literal (so the text signature and the
// value converted on omission come from one place).
struct Default {
  DefaultKind kind = DefaultKind::kRequired;
  bool b = false;
  long long i = 0;
  double d = 0.0;
  const char* s = nullptr;
  const char* shown = nullptr;  // overrides the repr in the text signature
};

struct Param {
  const char* name;
  Default def;

  constexpr Param(const char* n) : name(n), def{} {}  // NOLINT: required parameter
  constexpr Param(const char* n, NoneDefault) : name(n), def{DefaultKind::kNone} {}
  constexpr Param(const char* n, bool v) : name(n), def{DefaultKind::kBool, v} {}
  constexpr Param(const char* n, int v) : name(n), def{DefaultKind::kInt, false, v} {}
  constexpr Param(const char* n, long long v) : name(n), def{DefaultKind::kInt, false, v} {}
  constexpr Param(const char* n, double v) : name(n), def{DefaultKind::kFloat, false, 0, v} {}
  constexpr Param(const char* n, const char* v)
      : name(n), def{DefaultKind::kStr, false, 0, 0.0, v} {}
  constexpr Param(const char* n, const char* v, ShownAs shown)
      : name(n), def{DefaultKind::kStr, false, 0, 0.0, v, shown.text} {}

  constexpr bool required() const { return def.kind == DefaultKind::kRequired; }
};

// One callable. Messages name it "owner.name()" (or "name()" for module
// functions); constructors use the name "__new__".
struct Signature {
  const char* name;
  const char* owner;  // class name for methods and constructors, else nullptr
  std::span<const Param> params;
  const char* doc;  // the description, without the signature line

  constexpr std::size_t size() const { return params.size(); }
  constexpr std::size_t required() const {
    std::size_t n = 0;
    while (n < params.size() && params[n].required()) ++n;
    return n;
  }
};

// Matches vectorcall arguments to sig's parameters. On success slots[i] is
// the borrowed argument of parameter i, or nullptr when it was omitted. On
// failure a TypeError is set and false returned.
bool match_vector(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                  PyObject** slots);

// The same for constructors: a tuple of positional arguments and an
// optional dict of keyword arguments.
bool match_tuple(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** slots);

// A new reference to the Python value of a default (never kRequired).
PyObject* default_object(const Default& def);

// "name(a, b=1)" ("name($self, a)" when as_method); the parameter list alone
// when name is nullptr.
std::string text_signature(const Signature& sig, const char* name, bool as_method);

// A docstring in the signature form: "<signature>\n--\n\n<doc>". The text is
// stored for the life of the process.
const char* signature_docstring(const Signature& sig, const char* name, bool as_method);

// Stores text for the life of the process and returns its C string.
const char* keep_text(std::string text);

}  // namespace pelrin::py
