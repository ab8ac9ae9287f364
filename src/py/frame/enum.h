// Enumeration classes: one member object per value for the process, int(),
// == and != with members and integers (anything with __index__), no
// ordering, no hash.
#pragma once

#include "py/python.h"

#include <cstddef>
#include <span>

#include "py/frame/heap_type.h"

namespace pelrin::py {

struct EnumMember {
  const char* attr;  // class attribute and repr name: "User"
  const char* text;  // str(): "user"
  long long value;   // int()
};

// The state of one member object.
struct EnumValue {
  long long value;
  const EnumMember* member;
  const char* class_name;
};

class EnumDef {
 public:
  // `methods` take `const EnumValue&` as the object (see method() in entry.h).
  EnumDef(const char* name, const char* doc, std::span<const EnumMember> members,
          std::span<const MethodDef> methods = {});

  const char* name() const { return name_; }

  // The class object (borrowed), created with its members on first use.
  PyTypeObject* type() { return class_.type(); }

  // A new reference to the member with `value`, or nullptr with an
  // exception set (an unknown value is an internal failure).
  PyObject* member(long long value);

  // The member's value if `o` is a member of this class.
  bool value_of(PyObject* o, long long& out);

 private:
  static bool create_members(PyTypeObject* type, const void* context);

  const char* name_;
  std::span<const EnumMember> members_;
  PyType_Slot slots_[6];
  ClassSpec spec_;
  ClassDef class_;
  PyObject* objects_[32] = {};
};

// Maps a core enum to its Python class; area files specialise it:
//   template <> struct EnumOf<core::Role> { static EnumDef& def(); };
template <class E>
struct EnumOf;

template <class E>
concept PyEnum = requires { EnumOf<E>::def(); };

}  // namespace pelrin::py
