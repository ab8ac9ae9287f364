// Converters from Python values to plain C++ values, one per parameter type.
//
//   str                std::string_view (a view of the str's UTF-8 buffer) or
//                      std::string (a copy)
//   character          char32_t
//   int                std::uint64_t (and size_t), std::int64_t, and the
//                      narrow widths (uint32_t, uint8_t, int8_t, ...)
//   float, float32     double, float
//   bool               bool (True/False, or a NumPy bool_)
//   list of X          std::vector<X> (the sequence rule)
//   bytes              std::vector<std::uint8_t> (bytes, bytearray, or a
//                      sequence of ints 0..255)
//   dict of K to V     absl::flat_hash_map<K, V>
//   dict object        DictObject
//   tuple of (A, ...)  std::tuple<A, ...> or std::pair<A, B>
//   X or None          std::optional<X>
//   instance of C      const C& / C& (borrowed, see entry.h) or C (a copy)
//   list of C          std::vector<C> (copies) or InstanceList<C> (borrowed)
//   enumeration        the core enum type
//
// Every Converter<T>::convert(o, out, keep) returns false with a Python
// exception set on failure. Values that view Python objects (str views,
// dict objects) stay valid while `keep` lives: container items are held
// there, since converting a later item may run Python code that drops them.
#pragma once

#include "py/python.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "absl/container/flat_hash_map.h"
#include "py/frame/enum.h"
#include "py/frame/errors.h"
#include "py/frame/heap_type.h"

namespace pelrin::py {

// Strong references held for the duration of one call.
class KeepAlive {
 public:
  KeepAlive() = default;
  KeepAlive(const KeepAlive&) = delete;
  KeepAlive& operator=(const KeepAlive&) = delete;
  ~KeepAlive() {
    for (PyObject* o : refs_) Py_DECREF(o);
  }
  void keep(PyObject* owned) { refs_.push_back(owned); }  // steals the reference

 private:
  std::vector<PyObject*> refs_;
};

// The dict object parameter type: the dict itself, read by the owning area.
struct DictObject {
  PyObject* dict = nullptr;
};

template <class T, class = void>
struct Converter;

// True when a converted T refers into the Python object it came from.
template <class T>
struct ViewsPython : std::false_type {};
template <>
struct ViewsPython<std::string_view> : std::true_type {};
template <>
struct ViewsPython<DictObject> : std::true_type {};
template <class T>
struct ViewsPython<std::vector<T>> : ViewsPython<T> {};
template <class T>
struct ViewsPython<std::optional<T>> : ViewsPython<T> {};
template <class... T>
struct ViewsPython<std::tuple<T...>> : std::disjunction<ViewsPython<T>...> {};
template <class A, class B>
struct ViewsPython<std::pair<A, B>> : std::disjunction<ViewsPython<A>, ViewsPython<B>> {};
template <class K, class V>
struct ViewsPython<absl::flat_hash_map<K, V>> : std::disjunction<ViewsPython<K>, ViewsPython<V>> {};

// Converts an owned item reference, then keeps it (if the value views it)
// or drops it.
template <class T>
bool convert_owned_item(PyObject* item, T& out, KeepAlive& keep) {
  const bool ok = Converter<T>::convert(item, out, keep);
  if (ok && ViewsPython<T>::value) {
    keep.keep(item);
  } else {
    Py_DECREF(item);
  }
  return ok;
}

// ---- str and character ----

template <>
struct Converter<std::string_view> {
  static bool convert(PyObject* o, std::string_view& out, KeepAlive&) {
    if (!PyUnicode_Check(o)) {
      set_conversion_error(o, "str");
      return false;
    }
    Py_ssize_t n = 0;
    const char* s = PyUnicode_AsUTF8AndSize(o, &n);
    if (s == nullptr) return false;
    out = std::string_view(s, static_cast<std::size_t>(n));
    return true;
  }
};

template <>
struct Converter<std::string> {
  static bool convert(PyObject* o, std::string& out, KeepAlive& keep) {
    std::string_view v;
    if (!Converter<std::string_view>::convert(o, v, keep)) return false;
    out.assign(v);
    return true;
  }
};

template <>
struct Converter<char32_t> {
  static bool convert(PyObject* o, char32_t& out, KeepAlive&) {
    if (!PyUnicode_Check(o)) {
      set_conversion_error(o, "str");
      return false;
    }
    if (PyUnicode_GetLength(o) != 1) {
      PyErr_SetString(PyExc_ValueError, "expected a string of length 1");
      return false;
    }
    out = static_cast<char32_t>(PyUnicode_READ_CHAR(o, 0));
    return true;
  }
};

// ---- integers ----

template <class T>
struct Converter<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                     !std::is_same_v<T, char32_t>>> {
  static bool convert(PyObject* o, T& out, KeepAlive&) {
    if constexpr (sizeof(T) == 8 && std::is_unsigned_v<T>) {
      // The 64-bit widths take the interpreter's own conversion and errors.
      unsigned long long v = 0;
      if (PyLong_Check(o)) {
        v = PyLong_AsUnsignedLongLong(o);
      } else {
        PyObject* index = PyNumber_Index(o);
        if (index == nullptr) return false;
        v = PyLong_AsUnsignedLongLong(index);
        Py_DECREF(index);
      }
      if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
      out = static_cast<T>(v);
      return true;
    } else if constexpr (sizeof(T) == 8) {
      const long long v = PyLong_AsLongLong(o);
      if (v == -1 && PyErr_Occurred()) return false;
      out = static_cast<T>(v);
      return true;
    } else {
      // Narrow widths: read as a C long, then range-checked.
      const long v = PyLong_AsLong(o);
      if (v == -1 && PyErr_Occurred()) return false;
      if (v > static_cast<long>(std::numeric_limits<T>::max())) {
        PyErr_SetString(PyExc_OverflowError, "number too large to fit in target type");
        return false;
      }
      if (v < static_cast<long>(std::numeric_limits<T>::min())) {
        PyErr_SetString(PyExc_OverflowError, "number too small to fit in target type");
        return false;
      }
      out = static_cast<T>(v);
      return true;
    }
  }
};

// ---- floats and bool ----

template <>
struct Converter<double> {
  static bool convert(PyObject* o, double& out, KeepAlive&) {
    if (PyFloat_CheckExact(o)) {
      out = PyFloat_AS_DOUBLE(o);
      return true;
    }
    const double v = PyFloat_AsDouble(o);
    if (v == -1.0 && PyErr_Occurred()) return false;
    out = v;
    return true;
  }
};

template <>
struct Converter<float> {
  static bool convert(PyObject* o, float& out, KeepAlive& keep) {
    double v = 0.0;
    if (!Converter<double>::convert(o, v, keep)) return false;
    out = static_cast<float>(v);  // IEEE round to nearest; beyond the range gives inf
    return true;
  }
};

bool is_numpy_bool(PyObject* o) noexcept;

template <>
struct Converter<bool> {
  static bool convert(PyObject* o, bool& out, KeepAlive&) {
    if (o == Py_True || o == Py_False) {
      out = o == Py_True;
      return true;
    }
    if (is_numpy_bool(o)) {
      const int t = PyObject_IsTrue(o);
      if (t < 0) return false;
      out = t != 0;
      return true;
    }
    set_conversion_error(o, "bool");
    return false;
  }
};

// ---- sequences ----

// Applies the sequence rule's refusals; false with TypeError set.
bool check_sequence(PyObject* o);

// Iterates a sequence (list and tuple directly, anything else through the
// iterator protocol), calling item(owned_ref) for each; stops at the first
// false. Returns false with an exception set on failure.
template <class ItemFn>
bool for_each_item(PyObject* o, ItemFn&& item) {
  if (PyList_CheckExact(o) || PyTuple_CheckExact(o)) {
    const bool is_list = PyList_CheckExact(o);
    // The size is read again on every step: a list may shrink while a
    // later item's conversion runs Python code.
    for (Py_ssize_t i = 0;; ++i) {
      const Py_ssize_t n = is_list ? PyList_GET_SIZE(o) : PyTuple_GET_SIZE(o);
      if (i >= n) return true;
      PyObject* it = Py_NewRef(is_list ? PyList_GET_ITEM(o, i) : PyTuple_GET_ITEM(o, i));
      if (!item(it)) return false;
    }
  }
  PyObject* iter = PyObject_GetIter(o);
  if (iter == nullptr) return false;
  while (PyObject* it = PyIter_Next(iter)) {
    if (!item(it)) {
      Py_DECREF(iter);
      return false;
    }
  }
  Py_DECREF(iter);
  return !PyErr_Occurred();
}

// A capacity hint: the sequence's length, or 0 when asking fails.
Py_ssize_t length_hint(PyObject* o);

template <class T>
struct Converter<std::vector<T>, std::enable_if_t<!std::is_same_v<T, std::uint8_t>>> {
  static bool convert(PyObject* o, std::vector<T>& out, KeepAlive& keep) {
    if (!check_sequence(o)) return false;
    out.clear();
    out.reserve(static_cast<std::size_t>(length_hint(o)));
    return for_each_item(o, [&](PyObject* item) {
      T value{};
      if (!convert_owned_item(item, value, keep)) return false;
      out.push_back(std::move(value));
      return true;
    });
  }
};

// The bytes rule: bytes and bytearray copied directly, other sequences of
// ints item by item as 8-bit unsigned ints.
template <>
struct Converter<std::vector<std::uint8_t>> {
  static bool convert(PyObject* o, std::vector<std::uint8_t>& out, KeepAlive& keep) {
    if (PyBytes_Check(o)) {
      const auto* p = reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(o));
      out.assign(p, p + PyBytes_GET_SIZE(o));
      return true;
    }
    if (PyByteArray_Check(o)) {
      const auto* p = reinterpret_cast<const std::uint8_t*>(PyByteArray_AS_STRING(o));
      out.assign(p, p + PyByteArray_GET_SIZE(o));
      return true;
    }
    if (!check_sequence(o)) return false;
    out.clear();
    out.reserve(static_cast<std::size_t>(length_hint(o)));
    return for_each_item(o, [&](PyObject* item) {
      std::uint8_t b = 0;
      const bool ok = convert_owned_item(item, b, keep);
      out.push_back(b);
      return ok;
    });
  }
};

// ---- tuples ----

void set_tuple_length_error(Py_ssize_t expected, Py_ssize_t given);

template <class... T>
struct Converter<std::tuple<T...>> {
  static bool convert(PyObject* o, std::tuple<T...>& out, KeepAlive& keep) {
    if (!PyTuple_Check(o)) {
      set_conversion_error(o, "tuple");
      return false;
    }
    constexpr auto n = static_cast<Py_ssize_t>(sizeof...(T));
    if (PyTuple_GET_SIZE(o) != n) {
      set_tuple_length_error(n, PyTuple_GET_SIZE(o));
      return false;
    }
    return convert_items(o, out, keep, std::index_sequence_for<T...>{});
  }

 private:
  template <std::size_t... I>
  static bool convert_items(PyObject* o, std::tuple<T...>& out, KeepAlive& keep,
                            std::index_sequence<I...>) {
    // Tuples are immutable, so their items stay alive with the tuple.
    return (Converter<T>::convert(PyTuple_GET_ITEM(o, I), std::get<I>(out), keep) && ...);
  }
};

template <class A, class B>
struct Converter<std::pair<A, B>> {
  static bool convert(PyObject* o, std::pair<A, B>& out, KeepAlive& keep) {
    std::tuple<A, B> t;
    if (!Converter<std::tuple<A, B>>::convert(o, t, keep)) return false;
    out.first = std::move(std::get<0>(t));
    out.second = std::move(std::get<1>(t));
    return true;
  }
};

// ---- optional, dicts ----

template <class T>
struct Converter<std::optional<T>> {
  static bool convert(PyObject* o, std::optional<T>& out, KeepAlive& keep) {
    if (o == Py_None) {
      out.reset();
      return true;
    }
    out.emplace();
    return Converter<T>::convert(o, *out, keep);
  }
};

template <class K, class V>
struct Converter<absl::flat_hash_map<K, V>> {
  static bool convert(PyObject* o, absl::flat_hash_map<K, V>& out, KeepAlive& keep) {
    if (!PyDict_Check(o)) {
      set_conversion_error(o, "dict");
      return false;
    }
    out.clear();
    out.reserve(static_cast<std::size_t>(PyDict_GET_SIZE(o)));
    // A snapshot of the items: converting a key or value may run Python code
    // that changes the dict.
    PyObject* items = PyDict_Items(o);
    if (items == nullptr) return false;
    keep.keep(items);
    const Py_ssize_t n = PyList_GET_SIZE(items);
    for (Py_ssize_t i = 0; i < n; ++i) {
      PyObject* pair = PyList_GET_ITEM(items, i);
      K key{};
      V value{};
      if (!Converter<K>::convert(PyTuple_GET_ITEM(pair, 0), key, keep)) return false;
      if (!Converter<V>::convert(PyTuple_GET_ITEM(pair, 1), value, keep)) return false;
      out.insert_or_assign(std::move(key), std::move(value));
    }
    return true;
  }
};

template <>
struct Converter<DictObject> {
  static bool convert(PyObject* o, DictObject& out, KeepAlive&) {
    if (!PyDict_Check(o)) {
      set_conversion_error(o, "dict");
      return false;
    }
    out.dict = o;
    return true;
  }
};

// ---- the module's classes and enumerations ----

// Instance of C, copied (for example items of a list of C).
template <PyClass C>
struct Converter<C> {
  static bool convert(PyObject* o, C& out, KeepAlive&) {
    PyTypeObject* type = class_type<C>();
    if (type == nullptr) return false;
    if (!PyObject_TypeCheck(o, type)) {
      set_conversion_error(o, ClassOf<C>::def().spec().name);
      return false;
    }
    Borrow<C, false> borrow(o);
    if (!borrow.ok()) return false;
    out = borrow.get();
    return true;
  }
};

// A list of instances of C read in place: each item is borrowed (shared)
// for the duration of the call instead of copied. Use it for large records
// that the function only reads.
template <PyClass C>
class InstanceList {
 public:
  InstanceList() = default;
  InstanceList(const InstanceList&) = delete;
  InstanceList& operator=(const InstanceList&) = delete;

  std::span<const C* const> items() const { return items_; }

  // Adds one item; false with TypeError or RuntimeError set.
  bool add(PyObject* o, PyTypeObject* type, KeepAlive& keep) {
    if (!PyObject_TypeCheck(o, type)) {
      set_conversion_error(o, ClassOf<C>::def().spec().name);
      return false;
    }
    if (!borrows_.emplace_back().acquire(o)) {
      borrows_.pop_back();
      return false;
    }
    // The call's KeepAlive outlives the converted arguments, so the object
    // stays alive until its borrow has been released.
    keep.keep(Py_NewRef(o));
    items_.push_back(&borrows_.back().get());
    return true;
  }

 private:
  std::deque<Borrow<C, false>> borrows_;  // a deque: borrows never move
  std::vector<const C*> items_;
};

template <PyClass C>
struct Converter<InstanceList<C>> {
  static bool convert(PyObject* o, InstanceList<C>& out, KeepAlive& keep) {
    PyTypeObject* type = class_type<C>();
    if (type == nullptr || !check_sequence(o)) return false;
    return for_each_item(o, [&](PyObject* item) {
      const bool ok = out.add(item, type, keep);
      Py_DECREF(item);
      return ok;
    });
  }
};

template <PyEnum E>
struct Converter<E> {
  static bool convert(PyObject* o, E& out, KeepAlive&) {
    EnumDef& def = EnumOf<E>::def();
    long long v = 0;
    if (!def.value_of(o, v)) {
      if (!PyErr_Occurred()) set_conversion_error(o, def.name());
      return false;
    }
    out = static_cast<E>(v);
    return true;
  }
};

}  // namespace pelrin::py
