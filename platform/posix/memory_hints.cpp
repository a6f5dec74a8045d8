#include "platform/memory_hints.h"

#include <sys/mman.h>
#include <unistd.h>

#include "platform/posix/populate_threshold.h"

namespace fwlaunch::platform {

void WillWrite(std::uint8_t* start, std::size_t length) {
  if (length < kWorthPopulating) return;
  auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  auto address = reinterpret_cast<std::uintptr_t>(start);
  std::uintptr_t aligned = address / page * page;
  madvise(reinterpret_cast<void*>(aligned), length + (address - aligned), MADV_POPULATE_WRITE);
}

}  // namespace fwlaunch::platform
