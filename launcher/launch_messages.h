// The launcher's own messages, printed on standard output exactly as users and their scripts
// know them.
#pragma once

namespace fwlaunch {

inline constexpr char kExtractionFailedMessage[] = "Failed to extract script from firmware!";
inline constexpr char kLaunchNotLoadedMessage[] = "Failed to load Launch.pyo!";
inline constexpr char kFunctionMissingMessage[] = "Script function not in Launch.pyo!";
inline constexpr char kUnknownExceptionMessage[] = "Unknown Exception!";

}  // namespace fwlaunch
