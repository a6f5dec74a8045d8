// The reference Script.dll through its exports, loaded as the launcher loads it.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <array>
#include <filesystem>
#include <vector>

#include "extract/script_library.h"
#include "image/checksum.h"
#include "image/image_format.h"
#include "image/image_writer.h"
#include "platform/zeroed_pages.h"
#include "tests/support/scratch_folder.h"

namespace fwlaunch {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;
using testing::WriteFile;

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 % 256);
  return bytes;
}

class ReferenceLibraryTest : public ::testing::Test {
 protected:
  ReferenceLibraryTest() : transfer(kTransferSize) {
    Pack("good.fw", {{"SCRIPT_PYD", "Launch.pyo\nhelper.pyd\n"}, {"VERSION", "1.2"}},
         {{"Launch.pyo", "launch"}, {"helper.pyd", Pattern(300000)}}, true);
    library = LoadScriptLibrary(FWLAUNCH_REFERENCE_LIBRARY);
  }

  std::string Pack(const std::string& name, std::vector<image::ConfigRecord> config,
                   std::vector<image::Member> members, bool compress) {
    Result<std::string> image = image::BuildImage(config, members, compress);
    EXPECT_TRUE(image) << image.reason();
    WriteFile(scratch.path() / name, *image);
    return Path(name);
  }
  std::string Path(const std::string& name) const { return (scratch.path() / name).string(); }

  std::string Query(const std::string& image, const char* key) {
    std::array<char, kScriptListSize> list{};
    list.fill('#');
    library->QueryCfg(image.c_str(), key, list.data());
    return std::string(list.data(), strnlen(list.data(), list.size()));
  }
  std::int32_t Open(const std::string& image) {
    context.fill(0);
    std::copy(kAccessToken.begin(), kAccessToken.end(), context.begin());
    return library->OpenFirmware(image.c_str(), transfer.data(), context.data());
  }
  std::int32_t Read(const char* name, std::int32_t offset = 0, std::int32_t mode = 1,
                    std::int32_t capacity = kTransferSize) {
    std::copy(kAccessToken.begin(), kAccessToken.end(), transfer.begin());
    return library->ReadFileInFW(context.data(), name, offset, capacity, transfer.data(), mode);
  }
  std::string Transferred(std::int32_t count) const {
    return std::string(transfer.begin(), transfer.begin() + count);
  }

  ScratchFolder scratch;
  std::unique_ptr<ScriptLibrary> library;
  std::array<std::uint8_t, kContextSize> context{};
  std::vector<std::uint8_t> transfer;
};

TEST_F(ReferenceLibraryTest, ServesTheListAndTheModules) {
  ASSERT_TRUE(library);
  EXPECT_EQ(Query(Path("good.fw"), "SCRIPT_PYD"), "Launch.pyo\nhelper.pyd\n");
  EXPECT_EQ(Query(Path("good.fw"), "VERSION"), "1.2");
  ASSERT_EQ(Open(Path("good.fw")), 1);
  EXPECT_EQ(Read("Launch.pyo"), 6);
  EXPECT_EQ(Transferred(6), "launch");
  ASSERT_EQ(Read("helper.pyd"), 300000);
  EXPECT_EQ(Transferred(300000), Pattern(300000));
  EXPECT_EQ(Read("helper.pyd", 299990), 10);
  EXPECT_EQ(Transferred(10), Pattern(300000).substr(299990));
  EXPECT_EQ(Read("helper.pyd", 100, 0), 299900) << "mode 0 tells the size";
}

TEST_F(ReferenceLibraryTest, AnswersZeroOrEmptyToEveryWrongRequest) {
  ASSERT_TRUE(library);
  EXPECT_EQ(Query(Path("good.fw"), "UNKNOWN"), "");
  EXPECT_EQ(Query(Path("absent.fw"), "SCRIPT_PYD"), "");
  EXPECT_EQ(Query(scratch.path().string(), "SCRIPT_PYD"), "") << "a folder";

  EXPECT_EQ(Read("Launch.pyo"), 0) << "nothing opened yet";
  ASSERT_EQ(Open(Path("good.fw")), 1);
  EXPECT_EQ(Read("launch.pyo"), 0) << "names are exact";
  EXPECT_EQ(Read(""), 0);
  EXPECT_EQ(Read("Launch.pyo", 7), 0) << "offset past the end";
  EXPECT_EQ(Read("Launch.pyo", -1), 0);
  EXPECT_EQ(Read("Launch.pyo", 0, 2), 0) << "unknown mode";
  EXPECT_EQ(Read("helper.pyd", 0, 1, 299999), 0) << "capacity too small";

  transfer[0] = 0;  // the launcher writes the token before every read; without it, no read
  EXPECT_EQ(
      library->ReadFileInFW(context.data(), "Launch.pyo", 0, kTransferSize, transfer.data(), 1), 0);

  context[0] = 0;
  EXPECT_EQ(library->OpenFirmware(Path("good.fw").c_str(), transfer.data(), context.data()), 0)
      << "a context without the token is refused";
  EXPECT_EQ(Read("Launch.pyo"), 0);

  WriteFile(scratch.path() / "garbage.fw", Pattern(5000));
  EXPECT_EQ(Open(Path("garbage.fw")), 0);
  EXPECT_EQ(Read("Launch.pyo"), 0) << "a failed open leaves nothing open";
}

TEST_F(ReferenceLibraryTest, AListTooLongWithoutALineFeedIsServedEmpty) {
  // Nothing of it fits as a whole line: the list is empty, copied from no data at all.
  std::string image = Pack("long.fw", {{"SCRIPT_PYD", std::string(5000, 'n')}}, {}, false);
  EXPECT_EQ(Query(image, "SCRIPT_PYD"), "");
}

long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST_F(ReferenceLibraryTest, AClaimedSizeBeyondTheCapacityTouchesNoMemory) {
  // A deflate entry whose table claims 0xFFFFFFF0 bytes, the header's CRC made to match.
  std::string bytes = Pack("claims.fw", {}, {{"z.pyo", std::string(4000, 'z')}}, true);
  std::string image = testing::ReadFile(bytes);
  auto* raw = reinterpret_cast<std::uint8_t*>(image.data());
  std::uint8_t* entry = raw + image::kHeaderSize + image::ReadU32(raw + image::kHeaderConfigSize);
  image::WriteU32(entry + image::kEntryOriginalSize, 0xFFFFFFF0u);
  std::uint32_t crc = image::Crc32(0, {raw, image::kHeaderCrc});
  crc = image::Crc32(crc, {raw + image::kHeaderSize,
                           image::ReadU32(raw + image::kHeaderDataOffset) - image::kHeaderSize});
  image::WriteU32(raw + image::kHeaderCrc, crc);
  WriteFile(scratch.path() / "claims.fw", image);

  ASSERT_EQ(Open(Path("claims.fw")), 1);
  // Untouched memory well beyond the capacity the read is given, as a caller may well have.
  platform::ZeroedPages pages(64 << 20);
  std::copy(kAccessToken.begin(), kAccessToken.end(), pages.data());
  long before = PeakResidentKiB();
  EXPECT_EQ(library->ReadFileInFW(context.data(), "z.pyo", 0, kTransferSize, pages.data(), 1), 0);
  EXPECT_LT(PeakResidentKiB() - before, 8 * 1024) << "KiB made resident for a refused read";
}

TEST_F(ReferenceLibraryTest, CorruptEntriesReadAsZero) {
  std::string image = Pack("corrupt.fw", {{"SCRIPT_PYD", "a.pyo\n"}},
                           {{"a.pyo", Pattern(4000)}, {"b.pyo", Pattern(5000)}}, false);
  std::string bytes = testing::ReadFile(image);
  bytes[bytes.size() - 10] ^= 0x40;  // inside b.pyo's data, which comes last
  WriteFile(image, bytes);
  ASSERT_EQ(Open(image), 1);
  EXPECT_EQ(Read("a.pyo"), 4000);
  EXPECT_EQ(Read("b.pyo"), 0);

  WriteFile(image, bytes.substr(0, bytes.size() - 1));
  EXPECT_EQ(Query(image, "SCRIPT_PYD"), "") << "a truncated image is invalid as a whole";
  EXPECT_EQ(Open(image), 0);
}

TEST_F(ReferenceLibraryTest, AListTooLongForTheBufferIsCutAfterItsLastWholeLine) {
  std::string list;
  for (int i = 0; list.size() < 1100; ++i) list += "module_" + std::to_string(i) + ".pyo\n";
  std::string image =
      Pack("long.fw", {{"SCRIPT_PYD", list}, {"NOTES", std::string(2000, 'n')}}, {}, false);
  std::string served = Query(image, "SCRIPT_PYD");
  EXPECT_LE(served.size(), 1023u);
  EXPECT_EQ(served.back(), '\n');
  EXPECT_EQ(list.substr(0, served.size()), served);
  std::size_t next_line = list.find('\n', served.size()) + 1 - served.size();
  EXPECT_GT(served.size() + next_line, 1023u) << "every line that fits is served";
  EXPECT_EQ(Query(image, "NOTES"), std::string(1023, 'n'));
}

TEST_F(ReferenceLibraryTest, ContextsDoNotOutliveTheLoadedLibrary) {
  ASSERT_EQ(Open(Path("good.fw")), 1);
  ASSERT_EQ(Read("Launch.pyo"), 6);
  library.reset();
  library = LoadScriptLibrary(FWLAUNCH_REFERENCE_LIBRARY);
  ASSERT_TRUE(library);
  EXPECT_EQ(Read("Launch.pyo"), 0) << "the old context names nothing in the new load";
  ASSERT_EQ(Open(Path("good.fw")), 1);
  EXPECT_EQ(Read("Launch.pyo"), 6);
  // A context kept from the earlier load names nothing either when the new load has opened
  // an image under the same number.
  std::array<std::uint8_t, kContextSize> stale = context;
  library.reset();
  library = LoadScriptLibrary(FWLAUNCH_REFERENCE_LIBRARY);
  ASSERT_EQ(Open(Path("good.fw")), 1);
  std::array<std::uint8_t, kContextSize> fresh = context;
  context = stale;
  EXPECT_EQ(Read("Launch.pyo"), 0) << "a context from another load of the library";
  context = fresh;
  EXPECT_EQ(Read("Launch.pyo"), 6);
  // Opening the same context again replaces its image.
  Pack("other.fw", {}, {{"Launch.pyo", "other launch"}}, false);
  ASSERT_EQ(library->OpenFirmware(Path("other.fw").c_str(), transfer.data(), context.data()), 1);
  EXPECT_EQ(Read("Launch.pyo"), 12);
}

}  // namespace
}  // namespace fwlaunch
