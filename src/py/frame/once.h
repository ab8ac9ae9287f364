// One-time initialisation that releases the interpreter lock while waiting.
#pragma once

#include "py/python.h"

#include <atomic>
#include <mutex>

namespace pelrin::py {

// Holds a T* created once per process by an initialiser that needs the
// interpreter. A thread that finds another one initialising waits for the
// mutex with the interpreter lock released, so the two cannot deadlock: no
// thread ever blocks on the mutex while holding the lock. A failed
// initialisation (nullptr, Python error set) is retried by the next caller.
template <class T>
class OnceCell {
 public:
  constexpr OnceCell() = default;
  OnceCell(const OnceCell&) = delete;
  OnceCell& operator=(const OnceCell&) = delete;

  T* get() const noexcept { return value_.load(std::memory_order_acquire); }

  template <class Init>
  T* get_or_init(Init&& init) {
    if (T* v = get()) return v;
    if (!mu_.try_lock()) {
      Py_BEGIN_ALLOW_THREADS mu_.lock();
      Py_END_ALLOW_THREADS
    }
    std::lock_guard<std::mutex> held(mu_, std::adopt_lock);
    if (T* v = get()) return v;
    T* v = init();
    if (v != nullptr) value_.store(v, std::memory_order_release);
    return v;
  }

 private:
  std::atomic<T*> value_{nullptr};
  std::mutex mu_;
};

}  // namespace pelrin::py
