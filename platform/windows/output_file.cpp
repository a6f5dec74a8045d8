// Module files are written with the C runtime's binary file output, as the system's own
// extraction writes them.
#include "platform/output_file.h"

#include <cstdio>
#include <utility>

namespace fwlaunch::platform {

struct OutputFile::State {
  std::FILE* file = nullptr;
};

std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");  // "wb" empties it
  if (file == nullptr) return std::nullopt;
  auto state = std::make_unique<State>();
  state->file = file;
  return OutputFile(std::move(state));
}

OutputFile::OutputFile(std::unique_ptr<State> state) : state_(std::move(state)) {}

OutputFile::OutputFile(OutputFile&& other) noexcept = default;

OutputFile::~OutputFile() { Close(); }

bool OutputFile::WriteAll(std::span<const std::uint8_t> bytes) {
  if (!state_ || state_->file == nullptr) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), state_->file) == bytes.size();
}

bool OutputFile::Close() {
  if (!state_ || state_->file == nullptr) return false;
  return std::fclose(std::exchange(state_->file, nullptr)) == 0;
}

}  // namespace fwlaunch::platform
