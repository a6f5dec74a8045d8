#include "platform/locale_encoding.h"

#include <io.h>

namespace fwlaunch::platform {

// The interpreter on Windows takes its encodings from the system by itself.
std::optional<std::string> LocaleCodeset() { return std::nullopt; }

bool IsTerminal(int standard_stream) { return _isatty(standard_stream) != 0; }

}  // namespace fwlaunch::platform
