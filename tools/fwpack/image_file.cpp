#include "tools/fwpack/image_file.h"

#include "tools/fwpack/commands.h"

namespace fwlaunch::fwpack {

std::optional<OpenedImage> OpenImageFile(const std::string& path) {
  Result<platform::MappedFile> file = platform::MappedFile::Open(path);
  if (!file) {
    Complain(path, file.reason());
    return std::nullopt;
  }
  Result<image::ImageReader> reader = image::ImageReader::Open(file->bytes());
  if (!reader) {
    Complain(path, reader.reason());
    return std::nullopt;
  }
  return OpenedImage{std::move(*file), *reader};
}

}  // namespace fwlaunch::fwpack
