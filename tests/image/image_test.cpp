#include <gtest/gtest.h>

#include <zlib.h>
#include <array>
#include <cstring>
#include <vector>

#include "image/image_format.h"
#include "image/image_reader.h"
#include "image/image_writer.h"

namespace fwlaunch::image {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed) % 251);
  return bytes;
}

std::string Build(bool compress, std::vector<Member> members = {},
                  std::vector<ConfigRecord> config = {{"SCRIPT_PYD", "b.pyo\na.pyd\n"}}) {
  if (members.empty())
    members = {{"b.pyo", Pattern(5000, 1)}, {"a.pyd", std::string(70000, 'a')}, {"empty", ""}};
  Result<std::string> image = BuildImage(config, members, compress);
  EXPECT_TRUE(image) << image.reason();
  return image ? *image : "";
}

// The entry's bytes, "<missing>", or "<failed>" with the reason in *reason.
std::string ReadAll(const ImageReader& reader, std::string_view name,
                    std::string* reason = nullptr) {
  std::optional<EntryInfo> entry = reader.Find(name);
  if (!entry) return "<missing>";
  std::vector<std::uint8_t> out(std::min<std::size_t>(entry->original_size, 1 << 20));
  Result<std::uint32_t> count = reader.Read(*entry, 0, out);
  if (reason != nullptr) *reason = count.reason();
  return count ? std::string(out.begin(), out.begin() + *count) : "<failed>";
}

TEST(Image, RoundTripsStoredAndDeflatedMembers) {
  for (bool compress : {false, true}) {
    std::string image = Build(compress);
    Result<ImageReader> reader = ImageReader::Open(Bytes(image));
    ASSERT_TRUE(reader) << reader.reason();
    EXPECT_EQ(reader->Config("SCRIPT_PYD"), "b.pyo\na.pyd\n");
    EXPECT_FALSE(reader->Config("OTHER"));
    ASSERT_EQ(reader->entry_count(), 3u);
    EXPECT_EQ(reader->EntryAt(0).name, "a.pyd");  // the table is sorted by name
    EXPECT_EQ(reader->Find("a.pyd")->method, compress ? Method::kDeflate : Method::kStored);
    EXPECT_EQ(ReadAll(*reader, "b.pyo"), Pattern(5000, 1));
    EXPECT_EQ(ReadAll(*reader, "a.pyd"), std::string(70000, 'a'));
    EXPECT_EQ(ReadAll(*reader, "empty"), "");
    EXPECT_EQ(ReadAll(*reader, "missing"), "<missing>");
    EXPECT_FALSE(reader->Find(std::string(200, 'a')));

    std::string streamed;
    EXPECT_TRUE(reader->Stream(*reader->Find("a.pyd"), [&](std::span<const std::uint8_t> piece) {
      streamed.append(piece.begin(), piece.end());
      return true;
    }));
    EXPECT_EQ(streamed, std::string(70000, 'a'));
  }
}

TEST(Image, ReadsFromAnOffsetAndRefusesWhatDoesNotFit) {
  for (bool compress : {false, true}) {
    std::string image = Build(compress);
    Result<ImageReader> reader = ImageReader::Open(Bytes(image));
    ASSERT_TRUE(reader);
    EntryInfo entry = *reader->Find("b.pyo");
    std::vector<std::uint8_t> out(5000);
    EXPECT_EQ(*reader->Read(entry, 4990, out), 10u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 10), Pattern(5000, 1).substr(4990));
    EXPECT_EQ(*reader->Read(entry, 5000, out), 0u);
    Result<std::uint32_t> past = reader->Read(entry, 5001, out);
    EXPECT_FALSE(past);
    EXPECT_EQ(past.reason(), "offset past the end of the entry");
    Result<std::uint32_t> too_large = reader->Read(entry, 0, std::span(out).first(4999));
    EXPECT_FALSE(too_large);
    EXPECT_EQ(too_large.reason(), "entry larger than the buffer");
  }
}

TEST(Image, EveryTruncationIsRefused) {
  std::string image = Build(true);
  for (std::size_t size = 0; size < image.size(); ++size)
    EXPECT_FALSE(ImageReader::Open(Bytes(image.substr(0, size)))) << size;
  EXPECT_FALSE(ImageReader::Open(Bytes(image + "x")));
}

// A flipped bit never yields wrong bytes: the header CRC catches it in the header, config or
// table, the entry's CRC or the inflater in the data. Only the padding bits after a deflate
// stream's last code carry nothing, so there the right bytes may still come out.
TEST(Image, EveryBitFlipIsCaught) {
  for (bool compress : {false, true}) {
    const std::string x = Pattern(3000, 9), y = Pattern(900, 3);
    std::string image = Build(compress, {{"x.pyo", x}, {"y.pyd", y}});
    for (std::size_t bit = 0; bit < image.size() * 8; ++bit) {
      std::string flipped = image;
      flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
      Result<ImageReader> reader = ImageReader::Open(Bytes(flipped));
      if (!reader) continue;
      std::string x_reason, y_reason;
      std::string x_read = ReadAll(*reader, "x.pyo", &x_reason);
      std::string y_read = ReadAll(*reader, "y.pyd", &y_reason);
      EXPECT_TRUE(x_read == x || (x_read == "<failed>" && !x_reason.empty())) << bit;
      EXPECT_TRUE(y_read == y || (y_read == "<failed>" && !y_reason.empty())) << bit;
      if (!compress) {
        EXPECT_FALSE(x_read == x && y_read == y) << "bit " << bit << " unnoticed";
      }
    }
  }
}

TEST(Image, RefusesNamesKeysAndSizesOutsideTheFormat) {
  std::string why;
  auto refused = [&](std::vector<ConfigRecord> config, std::vector<Member> members) {
    Result<std::string> built = BuildImage(config, members, false);
    why = built.reason();
    return !built;
  };
  EXPECT_TRUE(refused({}, {{std::string(128, 'n'), "x"}}));
  EXPECT_FALSE(refused({}, {{std::string(127, 'n'), "x"}}));
  EXPECT_TRUE(refused({}, {{"", "x"}}));
  EXPECT_TRUE(refused({}, {{"same", "1"}, {"same", "2"}}));
  EXPECT_NE(why.find("same"), std::string::npos) << why;
  EXPECT_TRUE(refused({{"lower", "x"}}, {}));
  EXPECT_TRUE(refused({{"KEY", "a"}, {"KEY", "b"}}, {}));
  EXPECT_TRUE(refused({{"KEY", std::string("a\0b", 3)}}, {}));
}

// An inflated stream that is longer or shorter than the entry says is corrupt, even when the
// CRC in the table was made to match the bytes it produces.
TEST(Image, ADeflateStreamMustHoldExactlyTheEntry) {
  std::string image = Build(true, {{"z.pyo", std::string(4000, 'z')}});
  for (std::int64_t delta : {-1, 1}) {
    std::string changed = image;
    auto* bytes = reinterpret_cast<std::uint8_t*>(changed.data());
    std::uint8_t* entry = bytes + kHeaderSize + ReadU32(bytes + kHeaderConfigSize);
    WriteU32(entry + kEntryOriginalSize, static_cast<std::uint32_t>(4000 + delta));
    uLong crc = crc32(0, Z_NULL, 0);
    crc = crc32(crc, bytes, kHeaderCrc);
    crc = crc32(crc, bytes + kHeaderSize, ReadU32(bytes + kHeaderDataOffset) - kHeaderSize);
    WriteU32(bytes + kHeaderCrc, static_cast<std::uint32_t>(crc));
    Result<ImageReader> reader = ImageReader::Open(Bytes(changed));
    ASSERT_TRUE(reader);
    std::string reason;
    EXPECT_EQ(ReadAll(*reader, "z.pyo", &reason), "<failed>");
    EXPECT_EQ(reason, "corrupt compressed data");
    EXPECT_FALSE(
        reader->Stream(*reader->Find("z.pyo"), [](std::span<const std::uint8_t>) { return true; }));
  }
}

}  // namespace
}  // namespace fwlaunch::image
