// Opening an image file for reading, with a plain message when it cannot be read.
#pragma once

#include <optional>
#include <string>

#include "image/image_reader.h"
#include "platform/mapped_file.h"

namespace fwlaunch::fwpack {

struct OpenedImage {
  platform::MappedFile file;
  image::ImageReader reader;
};

// Maps and checks the image; nothing, after saying why on standard error, when it fails.
std::optional<OpenedImage> OpenImageFile(const std::string& path);

}  // namespace fwlaunch::fwpack
