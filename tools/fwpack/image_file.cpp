#include "tools/fwpack/image_file.h"

#include <cstdio>

#include "tools/fwpack/commands.h"

namespace fwlaunch::fwpack {

Result<std::vector<std::uint8_t>> ReadStandardInput() {
  std::vector<std::uint8_t> bytes;
  std::uint8_t piece[65536];
  std::size_t got;
  while ((got = std::fread(piece, 1, sizeof piece, stdin)) > 0)
    bytes.insert(bytes.end(), piece, piece + got);
  if (std::ferror(stdin)) return Fail("cannot read standard input");
  return bytes;
}

std::optional<OpenedImage> OpenImageFile(const std::string& path) {
  std::optional<platform::MappedFile> file;
  std::vector<std::uint8_t> read;
  std::span<const std::uint8_t> bytes;
  if (path == kStandardStream) {
    Result<std::vector<std::uint8_t>> input = ReadStandardInput();
    if (!input) {
      Complain(path, input.reason());
      return std::nullopt;
    }
    read = std::move(*input);
    bytes = read;  // a moved vector keeps its storage, so the span stays valid below
  } else {
    Result<platform::MappedFile> mapped = platform::MappedFile::Open(path);
    if (!mapped) {
      Complain(path, mapped.reason());
      return std::nullopt;
    }
    file = std::move(*mapped);
    bytes = file->bytes();
  }
  Result<image::ImageReader> reader = image::ImageReader::Open(bytes);
  if (!reader) {
    Complain(path, reader.reason());
    return std::nullopt;
  }
  return OpenedImage{std::move(file), std::move(read), *reader};
}

}  // namespace fwlaunch::fwpack
