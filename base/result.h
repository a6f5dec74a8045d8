// A value, or the reason there is none: how every layer above the operating system reports a
// failure that its caller explains to a person.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace fwlaunch {

// The reason a step failed, as one phrase a message can carry.
struct Failure {
  std::string reason;
};

inline Failure Fail(std::string reason) { return Failure{std::move(reason)}; }

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Failure failure) : reason_(std::move(failure.reason)) {}

  explicit operator bool() const { return value_.has_value(); }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  // Why there is no value; empty when there is one.
  const std::string& reason() const { return reason_; }

 private:
  std::optional<T> value_;
  std::string reason_;
};

// A step that gives nothing back but may fail.
struct Done {};
using Status = Result<Done>;

}  // namespace fwlaunch
