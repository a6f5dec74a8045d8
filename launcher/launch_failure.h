// A failure of one of the launch sequence's own steps; it carries nothing but its message.
#pragma once

#include <exception>

namespace fwlaunch {

class LaunchFailure : public std::exception {
 public:
  explicit LaunchFailure(const char* message) : message_(message) {}
  const char* what() const noexcept override { return message_; }

 private:
  const char* message_;
};

inline constexpr char kExtractionFailed[] = "Failed to extract script from firmware!";
inline constexpr char kLaunchNotLoaded[] = "Failed to load Launch.pyo!";
inline constexpr char kFunctionMissing[] = "Script function not in Launch.pyo!";
inline constexpr char kUnknownException[] = "Unknown Exception!";

}  // namespace fwlaunch
