// Result conversion: plain C++ values to new Python objects.
//
//   std::string, std::string_view, const char*   str (from UTF-8)
//   integers                                      int
//   double, float                                 float (float widened exactly)
//   bool                                          bool
//   std::monostate, std::nullopt                  None
//   std::optional<X>                              X or None
//   std::vector<X> (std::vector<bool> too)        list
//   std::variant<A, B, ...>                       the held alternative's object
//   std::pair, std::tuple                         tuple
//   OrderedMap<K, V>                              dict in insertion order
//   absl::flat_hash_map<K, V>                     dict (order unspecified)
//   a class's core type C                         a new instance of C's class
//   a core enum                                   its member object
//   Owned                                         the object itself
//
// ToPython<T>::convert(value) returns a new reference, or nullptr with an
// exception set.
#pragma once

#include "py/python.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "absl/container/flat_hash_map.h"
#include "core/base/ordered_map.h"
#include "py/frame/enum.h"
#include "py/frame/heap_type.h"

namespace pelrin::py {

// A new reference built by hand in an area file, handed through as is.
struct Owned {
  PyObject* object = nullptr;
};

template <class T, class = void>
struct ToPython;

template <class T>
PyObject* to_python(T&& value) {
  // decay: a string literal converts as const char*.
  return ToPython<std::decay_t<T>>::convert(std::forward<T>(value));
}

inline PyObject* str_from_utf8(std::string_view s) {
  return PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), nullptr);
}

template <>
struct ToPython<std::string> {
  static PyObject* convert(const std::string& v) { return str_from_utf8(v); }
};
template <>
struct ToPython<std::string_view> {
  static PyObject* convert(std::string_view v) { return str_from_utf8(v); }
};
template <>
struct ToPython<const char*> {
  static PyObject* convert(const char* v) { return PyUnicode_FromString(v); }
};

template <>
struct ToPython<bool> {
  static PyObject* convert(bool v) { return PyBool_FromLong(v); }
};

template <class T>
struct ToPython<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>> {
  static PyObject* convert(T v) {
    if constexpr (std::is_unsigned_v<T>) {
      return PyLong_FromUnsignedLongLong(static_cast<unsigned long long>(v));
    } else {
      return PyLong_FromLongLong(static_cast<long long>(v));
    }
  }
};

template <class T>
struct ToPython<T, std::enable_if_t<std::is_floating_point_v<T>>> {
  static PyObject* convert(T v) { return PyFloat_FromDouble(static_cast<double>(v)); }
};

template <>
struct ToPython<std::monostate> {
  static PyObject* convert(std::monostate) { Py_RETURN_NONE; }
};
template <>
struct ToPython<std::nullopt_t> {
  static PyObject* convert(std::nullopt_t) { Py_RETURN_NONE; }
};

template <>
struct ToPython<Owned> {
  static PyObject* convert(Owned v) { return v.object; }
};

template <class T>
struct ToPython<std::optional<T>> {
  template <class U>
  static PyObject* convert(U&& v) {
    if (!v.has_value()) Py_RETURN_NONE;
    return to_python(*std::forward<U>(v));
  }
};

template <class T, class A>
struct ToPython<std::vector<T, A>> {
  template <class U>
  static PyObject* convert(U&& v) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(v.size()));
    if (list == nullptr) return nullptr;
    for (std::size_t i = 0; i < v.size(); ++i) {
      PyObject* item;
      if constexpr (std::is_rvalue_reference_v<U&&>) {
        item = to_python(std::move(v[i]));
      } else {
        item = to_python(v[i]);
      }
      if (item == nullptr) {
        Py_DECREF(list);
        return nullptr;
      }
      PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
    }
    return list;
  }
};

template <class A>
struct ToPython<std::vector<bool, A>> {
  static PyObject* convert(const std::vector<bool, A>& v) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(v.size()));
    if (list == nullptr) return nullptr;
    for (std::size_t i = 0; i < v.size(); ++i) {
      PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), PyBool_FromLong(v[i]));
    }
    return list;
  }
};

// Mixed-type values, for example a dict whose values are ints, floats and str.
template <class... T>
struct ToPython<std::variant<T...>> {
  template <class U>
  static PyObject* convert(U&& v) {
    return std::visit([](auto&& alt) { return to_python(std::forward<decltype(alt)>(alt)); },
                      std::forward<U>(v));
  }
};

template <class... T>
struct ToPython<std::tuple<T...>> {
  template <class U>
  static PyObject* convert(U&& v) {
    return build(std::forward<U>(v), std::index_sequence_for<T...>{});
  }

 private:
  template <class U, std::size_t... I>
  static PyObject* build(U&& v, std::index_sequence<I...>) {
    PyObject* items[] = {to_python(std::get<I>(std::forward<U>(v)))...};
    PyObject* tuple = nullptr;
    bool ok = true;
    for (PyObject* item : items) ok = ok && item != nullptr;
    if (ok) tuple = PyTuple_New(sizeof...(T));
    if (tuple == nullptr) {
      for (PyObject* item : items) Py_XDECREF(item);
      return nullptr;
    }
    for (std::size_t i = 0; i < sizeof...(T); ++i)
      PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), items[i]);
    return tuple;
  }
};

template <class A, class B>
struct ToPython<std::pair<A, B>> {
  template <class U>
  static PyObject* convert(U&& v) {
    PyObject* a = to_python(std::forward<U>(v).first);
    if (a == nullptr) return nullptr;
    PyObject* b = to_python(std::forward<U>(v).second);
    if (b == nullptr) {
      Py_DECREF(a);
      return nullptr;
    }
    PyObject* tuple = PyTuple_New(2);
    if (tuple == nullptr) {
      Py_DECREF(a);
      Py_DECREF(b);
      return nullptr;
    }
    PyTuple_SET_ITEM(tuple, 0, a);
    PyTuple_SET_ITEM(tuple, 1, b);
    return tuple;
  }
};

// Builds a dict from (key, value) entries of any range.
template <class Range>
PyObject* dict_from_entries(Range&& entries) {
  PyObject* dict = PyDict_New();
  if (dict == nullptr) return nullptr;
  for (auto&& [k, v] : entries) {
    PyObject* key = to_python(k);
    if (key == nullptr) {
      Py_DECREF(dict);
      return nullptr;
    }
    PyObject* value = to_python(v);
    if (value == nullptr || PyDict_SetItem(dict, key, value) < 0) {
      Py_DECREF(key);
      Py_XDECREF(value);
      Py_DECREF(dict);
      return nullptr;
    }
    Py_DECREF(key);
    Py_DECREF(value);
  }
  return dict;
}

// A dict with fixed keys, in the given order, whose values may have
// different types: keyed_dict({"a", "b"}, 1, std::string("x")).
template <class... V>
PyObject* keyed_dict(const char* const (&keys)[sizeof...(V)], V&&... values) {
  PyObject* converted[] = {to_python(std::forward<V>(values))...};
  PyObject* dict = PyDict_New();
  bool ok = dict != nullptr;
  for (std::size_t i = 0; i < sizeof...(V); ++i) {
    ok = ok && converted[i] != nullptr && PyDict_SetItemString(dict, keys[i], converted[i]) == 0;
  }
  for (PyObject* v : converted) Py_XDECREF(v);
  if (!ok) {
    Py_XDECREF(dict);
    return nullptr;
  }
  return dict;
}

template <class K, class V>
struct ToPython<OrderedMap<K, V>> {
  static PyObject* convert(const OrderedMap<K, V>& v) { return dict_from_entries(v.entries); }
};

template <class K, class V, class H, class E, class A>
struct ToPython<absl::flat_hash_map<K, V, H, E, A>> {
  static PyObject* convert(const absl::flat_hash_map<K, V, H, E, A>& v) {
    return dict_from_entries(v);
  }
};

template <PyClass C>
struct ToPython<C> {
  template <class U>
  static PyObject* convert(U&& v) {
    return wrap<C>(std::forward<U>(v));
  }
};

template <PyEnum E>
struct ToPython<E> {
  static PyObject* convert(E v) { return EnumOf<E>::def().member(static_cast<long long>(v)); }
};

}  // namespace pelrin::py
