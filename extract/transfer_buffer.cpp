#include "extract/transfer_buffer.h"

namespace fwlaunch {

void TransferBuffer::Allocate() { pages_ = std::make_unique<platform::ZeroedPages>(size()); }

}  // namespace fwlaunch
