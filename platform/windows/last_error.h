// The system's own words for the error of the last failed call, for the Windows implementation.
#pragma once

#include <string>

namespace fwlaunch::platform {

// FormatMessage's text for GetLastError(), without its line break and final full stop; the
// number when the system has no text for it.
std::string DescribeLastError();

}  // namespace fwlaunch::platform
