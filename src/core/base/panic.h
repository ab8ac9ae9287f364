// Internal failures: broken invariants stop native code with a Panic.
#pragma once

#include <exception>
#include <string>

namespace pelrin {

// Thrown only for bugs (a broken invariant), never for bad input. The binding
// layer turns it into the Python exception InternalPanic; worker-pool tasks
// carry it back to the calling thread first.
class Panic : public std::exception {
 public:
  explicit Panic(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

[[noreturn]] void panic(std::string message);
[[noreturn]] void panic_at(const char* file, int line, const char* condition);

}  // namespace pelrin

// Checks an invariant; a false condition throws Panic naming the place.
#define PELRIN_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::pelrin::panic_at(__FILE__, __LINE__, #condition))
