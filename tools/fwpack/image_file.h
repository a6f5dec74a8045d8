// Opening an image for reading, from a file or from standard input, with a plain message when
// it cannot be read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "platform/mapped_file.h"

namespace fwlaunch::fwpack {

struct OpenedImage {
  // Where the bytes the reader looks at live: a mapped file, or what standard input gave.
  std::optional<platform::MappedFile> file;
  std::vector<std::uint8_t> read;
  image::ImageReader reader;
};

// Maps and checks the image at path ("-": reads standard input whole); nothing, after saying
// why on standard error, when it fails.
std::optional<OpenedImage> OpenImageFile(const std::string& path);

// Reads standard input to its end; the reason when it fails.
Result<std::vector<std::uint8_t>> ReadStandardInput();

}  // namespace fwlaunch::fwpack
