#include "extract/transfer_buffer.h"

#include <new>

namespace fwlaunch {

void TransferBuffer::Allocate() {
  bytes_.reset(static_cast<std::uint8_t*>(std::calloc(size(), 1)));
  if (bytes_ == nullptr) throw std::bad_alloc();
}

}  // namespace fwlaunch
