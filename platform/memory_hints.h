// Hints to the kernel about memory about to be used.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fwlaunch::platform {

// Maps the pages of a large range that is about to be written in one go, rather than one page
// fault at a time; small ranges are left alone. Only a hint: it changes no byte, and kernels
// without it fault the pages in as before.
void WillWrite(std::uint8_t* start, std::size_t length);

}  // namespace fwlaunch::platform
