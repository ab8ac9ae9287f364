// Errors as values: Result<T> holds either a T or an Error for the caller.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace pelrin {

// The kind decides which Python exception the binding layer raises; the
// message is the exception's text, exactly as the caller sees it.
enum class ErrorKind : std::uint8_t {
  kValue,     // ValueError: invalid argument values or contents
  kType,      // TypeError
  kOverflow,  // OverflowError
  kRuntime,   // RuntimeError: conflicting use of one object
  kOs,        // OSError: a file that cannot be read (os_errno, path)
  kKey,       // KeyError
  kIndex,     // IndexError
};

struct Error {
  ErrorKind kind = ErrorKind::kValue;
  std::string message;
  int os_errno = 0;  // kOs only
  std::string path;  // kOs only, may be empty

  static Error value(std::string message) { return {ErrorKind::kValue, std::move(message)}; }
  static Error type(std::string message) { return {ErrorKind::kType, std::move(message)}; }
  static Error overflow(std::string message) { return {ErrorKind::kOverflow, std::move(message)}; }
  static Error runtime(std::string message) { return {ErrorKind::kRuntime, std::move(message)}; }
  static Error key(std::string message) { return {ErrorKind::kKey, std::move(message)}; }
  static Error index(std::string message) { return {ErrorKind::kIndex, std::move(message)}; }
  static Error os(int os_errno, std::string message, std::string path = {}) {
    return {ErrorKind::kOs, std::move(message), os_errno, std::move(path)};
  }
};

// A value or an error. Construct from either; test with ok().
template <class T>
class [[nodiscard]] Result {
 public:
  using value_type = T;

  Result(T value)
      : v_(std::in_place_index<0>, std::move(value)) {}  // NOLINT(google-explicit-constructor)
  Result(Error error)
      : v_(std::in_place_index<1>, std::move(error)) {}  // NOLINT(google-explicit-constructor)

  bool ok() const noexcept { return v_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }

  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  Error& error() & { return std::get<1>(v_); }
  const Error& error() const& { return std::get<1>(v_); }
  Error&& error() && { return std::get<1>(std::move(v_)); }

 private:
  std::variant<T, Error> v_;
};

// Success with no value, or an error.
template <>
class [[nodiscard]] Result<void> {
 public:
  using value_type = void;

  Result() = default;
  Result(Error error)
      : error_(std::move(error)), failed_(true) {}  // NOLINT(google-explicit-constructor)

  bool ok() const noexcept { return !failed_; }
  explicit operator bool() const noexcept { return ok(); }
  Error& error() & { return error_; }
  const Error& error() const& { return error_; }
  Error&& error() && { return std::move(error_); }

 private:
  Error error_;
  bool failed_ = false;
};

using Status = Result<void>;

template <class T>
struct IsResult : std::false_type {};
template <class T>
struct IsResult<Result<T>> : std::true_type {};
template <class T>
inline constexpr bool kIsResult = IsResult<std::remove_cvref_t<T>>::value;

}  // namespace pelrin

// Returns the error of a failed Result expression from the enclosing function.
#define PELRIN_TRY(expr)                            \
  do {                                              \
    auto&& pelrin_try_result_ = (expr);             \
    if (!pelrin_try_result_.ok()) {                 \
      return std::move(pelrin_try_result_).error(); \
    }                                               \
  } while (false)
