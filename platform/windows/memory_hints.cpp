#include "platform/memory_hints.h"

namespace fwlaunch::platform {

// The pages fault in one at a time as they are written; there is no cheaper hint to give here.
void WillWrite(std::uint8_t*, std::size_t) {}

}  // namespace fwlaunch::platform
