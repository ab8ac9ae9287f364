// Generic entries: a core function and its Signature become a Python
// callable. The parameter types come from the function itself; each is
// converted by its Converter, the function runs under the panic guard (with
// the interpreter lock released when the flags say so), a Result error
// becomes its exception and the value is converted back.
//
//   constexpr Param kTopKParams[] = {{"query"}, {"corpus"}, {"k", 10}};
//   constexpr Signature kTopKSig{"top_k_similar", nullptr, kTopKParams, "..."};
//   const FunctionDef kTopK = function<&core::top_k_similar, kTopKSig>();
#pragma once

#include "py/python.h"

#include <functional>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "core/base/result.h"
#include "py/frame/convert.h"
#include "py/frame/errors.h"
#include "py/frame/heap_type.h"
#include "py/frame/signature.h"
#include "py/frame/to_python.h"

namespace pelrin::py {

struct CallFlags {
  // Release the interpreter lock while the core function runs (after
  // conversion, before the result is built). The function must not use
  // anything that views Python objects which another thread could change.
  bool release_gil = false;
};

// A module-level function: its description and its entry.
struct FunctionDef {
  const Signature* sig;
  FastMethod entry;              // the fast-call entry, or
  PyCFunction noargs = nullptr;  // the entry of a function registered as taking no arguments
};

// A new built-in function object bound to `module`.
PyObject* make_function(const FunctionDef& def, PyObject* module);

namespace detail {

template <class... A>
struct TypeList {};

// Free functions: f(args...). For methods the first parameter is the object.
template <class F>
struct FnTraits;
template <class R, class... A>
struct FnTraits<R (*)(A...)> {
  using Ret = R;
  using Args = TypeList<A...>;
  static constexpr std::size_t kArity = sizeof...(A);
};
template <class R, class... A>
struct FnTraits<R (*)(A...) noexcept> : FnTraits<R (*)(A...)> {};

// Methods: the object type, whether the call only reads it, the rest.
template <class F>
struct MethodTraits;
template <class R, class C, class... A>
struct MethodTraits<R (*)(const C&, A...)> {
  using Self = C;
  static constexpr bool kExclusive = false;
  using Args = TypeList<A...>;
  static constexpr std::size_t kArity = sizeof...(A);
};
template <class R, class C, class... A>
struct MethodTraits<R (*)(C&, A...)> : MethodTraits<R (*)(const C&, A...)> {
  static constexpr bool kExclusive = true;
};
template <class R, class C, class... A>
struct MethodTraits<R (*)(const C&, A...) noexcept> : MethodTraits<R (*)(const C&, A...)> {};
template <class R, class C, class... A>
struct MethodTraits<R (*)(C&, A...) noexcept> : MethodTraits<R (*)(C&, A...)> {};
template <class R, class C, class... A>
struct MethodTraits<R (C::*)(A...) const> : MethodTraits<R (*)(const C&, A...)> {};
template <class R, class C, class... A>
struct MethodTraits<R (C::*)(A...) const noexcept> : MethodTraits<R (*)(const C&, A...)> {};
template <class R, class C, class... A>
struct MethodTraits<R (C::*)(A...)> : MethodTraits<R (*)(C&, A...)> {};
template <class R, class C, class... A>
struct MethodTraits<R (C::*)(A...) noexcept> : MethodTraits<R (*)(C&, A...)> {};

// One converted argument, passed on as the function's parameter type wants.
template <class A>
struct Arg {
  using V = std::remove_cvref_t<A>;
  V value{};
  bool convert(PyObject* o, KeepAlive& keep) { return Converter<V>::convert(o, value, keep); }
  decltype(auto) get() {
    if constexpr (std::is_lvalue_reference_v<A>) {
      return static_cast<A>(value);
    } else {
      return std::move(value);
    }
  }
};

// Instances of the module's classes taken by reference are borrowed, not
// copied: shared for const references, exclusive otherwise.
template <class C, bool Exclusive>
struct BorrowedArg {
  Borrow<C, Exclusive> borrow;
  bool convert(PyObject* o, KeepAlive&) {
    PyTypeObject* type = class_type<C>();
    if (type == nullptr) return false;
    if (!PyObject_TypeCheck(o, type)) {
      set_conversion_error(o, ClassOf<C>::def().spec().name);
      return false;
    }
    return borrow.acquire(o);
  }
  decltype(auto) get() { return borrow.get(); }
};
template <PyClass C>
struct Arg<const C&> : BorrowedArg<C, false> {};
template <PyClass C>
struct Arg<C&> : BorrowedArg<C, true> {};

template <class A>
bool convert_param(Arg<A>& arg, PyObject* slot, const Param& param, KeepAlive& keep) {
  PyObject* o = slot;
  if (o == nullptr) {
    o = default_object(param.def);
    if (o == nullptr) return false;
    keep.keep(o);
  }
  if (!arg.convert(o, keep)) {
    add_processing_note(param.name);
    return false;
  }
  return true;
}

class ReleasedGil {
 public:
  ReleasedGil() : state_(PyEval_SaveThread()) {}
  ReleasedGil(const ReleasedGil&) = delete;
  ReleasedGil& operator=(const ReleasedGil&) = delete;
  ~ReleasedGil() { PyEval_RestoreThread(state_); }

 private:
  PyThreadState* state_;
};

// The usual ending: a Result's error raised, any value converted.
struct ToPythonFinish {
  template <class R>
  PyObject* operator()(R&& r) const {
    if constexpr (kIsResult<R>) {
      if (!r.ok()) {
        raise_error(r.error());
        return nullptr;
      }
      if constexpr (std::is_void_v<typename std::remove_cvref_t<R>::value_type>) {
        Py_RETURN_NONE;
      } else {
        return to_python(std::move(r).value());
      }
    } else {
      return to_python(std::forward<R>(r));
    }
  }
};

template <const Signature& Sig, CallFlags Flags, class... A, class Call, class Finish,
          std::size_t... I>
PyObject* convert_and_call(PyObject** slots, Call& call, Finish& finish,
                           std::index_sequence<I...>) {
  KeepAlive keep;
  std::tuple<Arg<A>...> args;
  if (!(convert_param<A>(std::get<I>(args), slots[I], Sig.params[I], keep) && ...)) return nullptr;
  using R = decltype(call(std::get<I>(args).get()...));
  if constexpr (std::is_void_v<R>) {
    if constexpr (Flags.release_gil) {
      ReleasedGil released;
      call(std::get<I>(args).get()...);
    } else {
      call(std::get<I>(args).get()...);
    }
    Py_RETURN_NONE;
  } else if constexpr (Flags.release_gil) {
    std::optional<R> r;
    {
      ReleasedGil released;
      r.emplace(call(std::get<I>(args).get()...));
    }
    return finish(std::move(*r));
  } else {
    return finish(call(std::get<I>(args).get()...));
  }
}

template <const Signature& Sig, CallFlags Flags, class... A, class Call, class Finish>
PyObject* convert_and_call(TypeList<A...>, PyObject** slots, Call&& call, Finish&& finish) {
  return convert_and_call<Sig, Flags, A...>(slots, call, finish, std::index_sequence_for<A...>{});
}

}  // namespace detail

// The fast-call entry of a module function.
template <auto Fn, const Signature& Sig, CallFlags Flags = CallFlags{}>
PyObject* function_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) noexcept {
  using Traits = detail::FnTraits<decltype(Fn)>;
  static_assert(Traits::kArity == Sig.size(), "signature and function disagree on the parameters");
  return guarded([&]() -> PyObject* {
    PyObject* slots[Traits::kArity > 0 ? Traits::kArity : 1];
    PyObject* const* filled = args;
    // The common call, every argument by position, needs no matching.
    if (kwnames != nullptr || nargs != static_cast<Py_ssize_t>(Traits::kArity)) {
      if (!match_vector(Sig, args, nargs, kwnames, slots)) return nullptr;
      filled = slots;
    }
    return detail::convert_and_call<Sig, Flags>(
        typename Traits::Args{}, const_cast<PyObject**>(filled),
        [](auto&&... a) -> decltype(auto) { return Fn(std::forward<decltype(a)>(a)...); },
        detail::ToPythonFinish{});
  });
}

template <auto Fn, const Signature& Sig, CallFlags Flags = CallFlags{}>
constexpr FunctionDef function() {
  return FunctionDef{&Sig, &function_entry<Fn, Sig, Flags>};
}

// The entry of a function registered as taking no arguments at all.
template <auto Fn>
PyObject* noargs_entry(PyObject*, PyObject*) noexcept {
  return guarded([]() -> PyObject* { return detail::ToPythonFinish{}(Fn()); });
}

template <auto Fn, const Signature& Sig>
constexpr FunctionDef noargs_function() {
  static_assert(Sig.size() == 0);
  return FunctionDef{&Sig, nullptr, &noargs_entry<Fn>};
}

// The fast-call entry of a method: the object is borrowed first (shared for
// const methods, exclusive otherwise), then the arguments are converted.
template <auto Fn, const Signature& Sig, CallFlags Flags = CallFlags{}>
PyObject* method_entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) noexcept {
  using Traits = detail::MethodTraits<decltype(Fn)>;
  using C = typename Traits::Self;
  static_assert(Traits::kArity == Sig.size(), "signature and method disagree on the parameters");
  return guarded([&]() -> PyObject* {
    Borrow<C, Traits::kExclusive> borrow(self);
    if (!borrow.ok()) return nullptr;
    PyObject* slots[Traits::kArity > 0 ? Traits::kArity : 1];
    if (!match_vector(Sig, args, nargs, kwnames, slots)) return nullptr;
    return detail::convert_and_call<Sig, Flags>(
        typename Traits::Args{}, slots,
        [&](auto&&... a) -> decltype(auto) {
          return std::invoke(Fn, borrow.get(), std::forward<decltype(a)>(a)...);
        },
        detail::ToPythonFinish{});
  });
}

template <auto Fn, const Signature& Sig, CallFlags Flags = CallFlags{}>
constexpr MethodDef method() {
  return MethodDef{&Sig, &method_entry<Fn, Sig, Flags>};
}

// tp_new of a class: Factory(args...) returns the core value (or a Result of
// it), which the new instance of `type` then holds.
template <auto Factory, const Signature& Sig>
PyObject* constructor_entry(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  using Traits = detail::FnTraits<decltype(Factory)>;
  static_assert(Traits::kArity == Sig.size(),
                "signature and constructor disagree on the parameters");
  return guarded([&]() -> PyObject* {
    PyObject* slots[Traits::kArity > 0 ? Traits::kArity : 1];
    if (!match_tuple(Sig, args, kwargs, slots)) return nullptr;
    auto finish = [type](auto&& r) -> PyObject* {
      using R = std::remove_cvref_t<decltype(r)>;
      if constexpr (kIsResult<R>) {
        if (!r.ok()) {
          raise_error(r.error());
          return nullptr;
        }
        using C = typename R::value_type;
        return new_object<C>(type, std::move(r).value());
      } else {
        return new_object<R>(type, std::move(r));
      }
    };
    return detail::convert_and_call<Sig, CallFlags{}>(
        typename Traits::Args{}, slots,
        [](auto&&... a) -> decltype(auto) { return Factory(std::forward<decltype(a)>(a)...); },
        finish);
  });
}

namespace detail {
template <class G>
struct GetterTraits;
template <class V, class C>
struct GetterTraits<V C::*> {
  using Self = C;
};
template <class R, class C>
struct GetterTraits<R (*)(const C&)> {
  using Self = C;
};
template <class R, class C>
struct GetterTraits<R (*)(const C&) noexcept> {
  using Self = C;
};
template <class R, class C>
struct GetterTraits<R (C::*)() const> {
  using Self = C;
};
template <class R, class C>
struct GetterTraits<R (C::*)() const noexcept> {
  using Self = C;
};

template <class S>
struct SetterTraits;
template <class V, class C>
struct SetterTraits<V C::*> {
  using Self = C;
  using Value = V;
};
template <class C, class V>
struct SetterTraits<void (*)(C&, V)> {
  using Self = C;
  using Value = std::remove_cvref_t<V>;
};
}  // namespace detail

// A property getter: a data member, a function of the object, or a const
// member function; a new Python object on every read.
template <auto Get>
PyObject* property_get(PyObject* self, void*) noexcept {
  using C = typename detail::GetterTraits<decltype(Get)>::Self;
  return guarded([&]() -> PyObject* {
    Borrow<C, false> borrow(self);
    if (!borrow.ok()) return nullptr;
    return detail::ToPythonFinish{}(std::invoke(Get, borrow.get()));
  });
}

// A type slot taking only the object, such as tp_repr or tp_str: Fn is a
// function of `const T&` (or a const member function) whose result is
// converted as usual:  {Py_tp_repr, reinterpret_cast<void*>(&unary_slot<&fn>)}
template <auto Fn>
PyObject* unary_slot(PyObject* self) noexcept {
  using C = typename detail::GetterTraits<decltype(Fn)>::Self;
  return guarded([&]() -> PyObject* {
    Borrow<C, false> borrow(self);
    if (!borrow.ok()) return nullptr;
    return detail::ToPythonFinish{}(std::invoke(Fn, borrow.get()));
  });
}

// A property setter: assigns a data member or calls a setter function with
// the converted value; deletion raises "property has no deleter".
template <auto Set>
int property_set(PyObject* self, PyObject* value, void* closure) noexcept {
  using Traits = detail::SetterTraits<decltype(Set)>;
  using C = typename Traits::Self;
  using V = typename Traits::Value;
  if (value == nullptr) {
    PyErr_SetString(PyExc_AttributeError, "property has no deleter");
    return -1;
  }
  return guarded_int([&]() -> int {
    KeepAlive keep;
    V converted{};
    if (!Converter<V>::convert(value, converted, keep)) {
      add_processing_note(static_cast<const char*>(closure));
      return -1;
    }
    Borrow<C, true> borrow(self);
    if (!borrow.ok()) return -1;
    if constexpr (std::is_member_object_pointer_v<decltype(Set)>) {
      borrow.get().*Set = std::move(converted);
    } else {
      Set(borrow.get(), std::move(converted));
    }
    return 0;
  });
}

template <auto Get>
constexpr PropertyDef read_only(const char* name, const char* doc = nullptr) {
  return PropertyDef{name, &property_get<Get>, &read_only_setter, doc};
}

template <auto Get, auto Set>
constexpr PropertyDef read_write(const char* name, const char* doc = nullptr) {
  return PropertyDef{name, &property_get<Get>, &property_set<Set>, doc};
}

// The ClassSpec fields that depend on the core type T.
template <class T>
constexpr std::size_t object_size() {
  return sizeof(Object<T>);
}

}  // namespace pelrin::py
