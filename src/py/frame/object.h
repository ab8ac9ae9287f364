// Instances of the module's classes: a Python header, a borrow flag and the
// core value; the borrow rules for methods and instance arguments.
#pragma once

#include "py/python.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <utility>

namespace pelrin::py {

// Shared borrows count up; an exclusive borrow is -1.
class BorrowFlag {
 public:
  bool try_shared() noexcept {
    std::int32_t cur = state_.load(std::memory_order_relaxed);
    do {
      if (cur < 0) return false;
    } while (!state_.compare_exchange_weak(cur, cur + 1, std::memory_order_acquire));
    return true;
  }
  void release_shared() noexcept { state_.fetch_sub(1, std::memory_order_release); }
  bool try_exclusive() noexcept {
    std::int32_t expected = 0;
    return state_.compare_exchange_strong(expected, -1, std::memory_order_acquire);
  }
  void release_exclusive() noexcept { state_.store(0, std::memory_order_release); }

 private:
  std::atomic<std::int32_t> state_{0};
};

template <class T>
struct Object {
  PyObject_HEAD BorrowFlag borrow;
  T value;
};

template <class T>
Object<T>* as_object(PyObject* o) noexcept {
  return reinterpret_cast<Object<T>*>(o);
}

// Allocates an instance of `type` holding T constructed from args; nullptr
// with an exception set on failure.
template <class T, class... Args>
PyObject* new_object(PyTypeObject* type, Args&&... args) {
  PyObject* o = type->tp_alloc(type, 0);
  if (o == nullptr) return nullptr;
  auto* obj = as_object<T>(o);
  new (&obj->borrow) BorrowFlag();
  try {
    new (&obj->value) T(std::forward<Args>(args)...);
  } catch (...) {
    // The value never existed: free the memory without running ~T.
    PyTypeObject* tp = Py_TYPE(o);
    tp->tp_free(o);
    Py_DECREF(tp);
    throw;
  }
  return o;
}

template <class T>
void dealloc_object(PyObject* o) noexcept {
  PyTypeObject* tp = Py_TYPE(o);
  as_object<T>(o)->value.~T();
  tp->tp_free(o);
  Py_DECREF(tp);  // heap-type instances own a reference to their type
}

// RAII borrow of an object's state; ok() is false (RuntimeError set) on a
// conflicting borrow.
template <class T, bool Exclusive>
class Borrow {
 public:
  Borrow() = default;
  explicit Borrow(PyObject* o) { acquire(o); }
  Borrow(const Borrow&) = delete;
  Borrow& operator=(const Borrow&) = delete;
  ~Borrow() { release(); }

  bool acquire(PyObject* o) {
    auto* obj = as_object<T>(o);
    const bool got = Exclusive ? obj->borrow.try_exclusive() : obj->borrow.try_shared();
    if (!got) {
      PyErr_SetString(PyExc_RuntimeError,
                      Exclusive ? "Already borrowed" : "Already mutably borrowed");
      return false;
    }
    obj_ = obj;
    return true;
  }
  bool ok() const noexcept { return obj_ != nullptr; }
  auto& get() const noexcept {
    if constexpr (Exclusive) {
      return obj_->value;
    } else {
      return std::as_const(obj_->value);
    }
  }

 private:
  void release() noexcept {
    if (obj_ == nullptr) return;
    if (Exclusive) {
      obj_->borrow.release_exclusive();
    } else {
      obj_->borrow.release_shared();
    }
    obj_ = nullptr;
  }
  Object<T>* obj_ = nullptr;
};

}  // namespace pelrin::py
