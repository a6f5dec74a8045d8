#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "extract/extract_scripts.h"
#include "tests/extract/fake_script_library.h"
#include "tests/support/scratch_folder.h"

namespace fwlaunch {
namespace {

namespace fs = std::filesystem;
using testing::FakeScriptLibrary;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

// The working folder lies inside a scratch folder of its own, so that a file written outside it
// is seen, and never left where a later run would see it.
class WorkingFolder {
 public:
  WorkingFolder() { fs::create_directory(path()); }
  fs::path path() const { return scratch.path() / "work"; }
  std::string WithSeparator() const {
#if defined(_WIN32)
    return path().string() + "\\";
#else
    return path().string() + "/";
#endif
  }
  // Every file below the scratch folder that is not inside the working folder.
  std::vector<fs::path> FilesOutside() const {
    const fs::path inside = path();
    std::vector<fs::path> outside;
    for (const auto& entry : fs::recursive_directory_iterator(scratch.path())) {
      auto [end, ignored] =
          std::mismatch(inside.begin(), inside.end(), entry.path().begin(), entry.path().end());
      if (end != inside.end()) outside.push_back(entry.path());
    }
    return outside;
  }

 private:
  ScratchFolder scratch;
};

class ExtractModulesTest : public ::testing::Test {
 protected:
  void Extract() {
    TransferBuffer transfer;
    ExtractModules(library, transfer, folder.WithSeparator(), "/images/any.fw");
    EXPECT_EQ(library.violations, std::vector<std::string>{});
  }
  fs::path In(const std::string& name) const { return folder.path() / name; }
  std::vector<std::string> Reads() const {
    std::vector<std::string> reads;
    for (const std::string& call : library.calls)
      if (call.starts_with("ReadFileInFW ")) reads.push_back(call.substr(13));
    return reads;
  }

  WorkingFolder folder;
  FakeScriptLibrary library;
};

TEST_F(ExtractModulesTest, WritesListedModulesInListOrderAfterQueryAndOpen) {
  library.list = "Launch.pyo\nchecksum.pyd\n";
  library.files = {{"Launch.pyo", "launch bytes"},
                   {"checksum.pyd",
                    "\x7f"
                    "ELF"}};
  Extract();
  EXPECT_EQ(library.calls,
            (std::vector<std::string>{"QueryCfg SCRIPT_PYD", "OpenFirmware",
                                      "ReadFileInFW Launch.pyo", "ReadFileInFW checksum.pyd"}));
  EXPECT_EQ(ReadFile(In("Launch.pyo")), "launch bytes");
  EXPECT_EQ(ReadFile(In("checksum.pyd")),
            "\x7f"
            "ELF");
}

TEST_F(ExtractModulesTest, OnlyModulesAreAskedForAndWritten) {
  library.list = "a.py\nb.txt\nnodot\n\nc.pyo.bak\nd.pyo\r\nUPPER.PYO\nlast.pyo";
  library.files = {{"a.py", "x"}, {"b.txt", "x"}, {"UPPER.PYO", "up"}, {"last.pyo", "x"}};
  Extract();
  EXPECT_EQ(Reads(), std::vector<std::string>{"UPPER.PYO"});
  std::vector<fs::path> written;
  for (const auto& entry : fs::directory_iterator(folder.path())) written.push_back(entry.path());
  EXPECT_EQ(written, std::vector<fs::path>{In("UPPER.PYO")});
}

TEST_F(ExtractModulesTest, EveryReadFindsTheTokenAndOnlyItsOwnBytesAreWritten) {
  library.list = "big.pyo\nsmall.pyo\nempty.pyo\n";
  library.files = {
      {"big.pyo", std::string(1 << 20, '\xff')}, {"small.pyo", "tiny"}, {"empty.pyo", ""}};
  Extract();  // the fake notes any read that finds no token
  EXPECT_EQ(fs::file_size(In("big.pyo")), 1u << 20);
  EXPECT_EQ(ReadFile(In("small.pyo")), "tiny");
  EXPECT_EQ(fs::file_size(In("empty.pyo")), 0u);
}

TEST_F(ExtractModulesTest, ImpossibleCountsLeaveEmptyFiles) {
  library.list = "negative.pyo\nminimum.pyo\nover.pyo\nhuge.pyo\nfull.pyo\n";
  library.files = {{"negative.pyo", "data"}, {"over.pyo", "data"}};
  library.forced_counts = {{"negative.pyo", -1},
                           {"minimum.pyo", INT32_MIN},
                           {"over.pyo", kTransferSize + 1},
                           {"huge.pyo", INT32_MAX},
                           {"full.pyo", kTransferSize}};
  Extract();
  for (const char* name : {"negative.pyo", "minimum.pyo", "over.pyo", "huge.pyo"})
    EXPECT_EQ(fs::file_size(In(name)), 0u) << name;
  EXPECT_EQ(fs::file_size(In("full.pyo")), static_cast<std::uintmax_t>(kTransferSize));
}

TEST_F(ExtractModulesTest, NamesThatWouldBeCutShortAreSkippedWhole) {
  std::string fits = std::string(123, 'a') + ".pyo";
  std::string too_long = std::string(124, 'a') + ".pyo";
  // Cut to 127 characters, the long name would be "aaa…a.py" or overwrite a neighbour.
  library.list = fits + "\n" + too_long + "\n";
  Extract();
  EXPECT_EQ(Reads(), std::vector<std::string>{fits});
  EXPECT_TRUE(fs::exists(In(fits)));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST_F(ExtractModulesTest, NothingIsWrittenOutsideTheWorkingFolder) {
  fs::create_directory(In("sub"));
  std::string absolute = (folder.path().parent_path() / "absolute.pyo").string();
  library.list = "../escape.pyo\n" + absolute +
                 "\nsub/../../escape.pyo\nsub/inner.pyo\n"
                 "missing/inner.pyo\n";
  library.files = {{"../escape.pyo", "out"},
                   {absolute, "out"},
                   {"sub/../../escape.pyo", "out"},
                   {"sub/inner.pyo", "inner"},
                   {"missing/inner.pyo", "lost"}};
  Extract();
  // A sub-folder that exists takes its module; one that does not, and every name that would
  // lead out of the folder, is never asked for.
  EXPECT_EQ(Reads(), std::vector<std::string>{"sub/inner.pyo"});
  EXPECT_EQ(ReadFile(In("sub/inner.pyo")), "inner");
  EXPECT_EQ(folder.FilesOutside(), std::vector<fs::path>{});
}

#if !defined(_WIN32)  // links to files need rights Windows users rarely have
TEST_F(ExtractModulesTest, LinksInTheWorkingFolderAreNotWrittenThrough) {
  ScratchFolder elsewhere;
  WriteFile(elsewhere.path() / "target", "keep");
  fs::create_symlink(elsewhere.path() / "target", In("Launch.pyo"));
  library.list = "Launch.pyo\n";
  library.files = {{"Launch.pyo", "overwritten"}};
  Extract();
  EXPECT_EQ(ReadFile(elsewhere.path() / "target"), "keep");
}
#endif

TEST_F(ExtractModulesTest, AFileThatCannotBeCreatedIsSkippedAndTheWalkGoesOn) {
  fs::create_directory(In("folder.pyo"));
  library.list = "folder.pyo\nnext.pyo\n";
  library.files = {{"next.pyo", "next"}};
  Extract();
  EXPECT_EQ(Reads(), std::vector<std::string>{"next.pyo"});
  EXPECT_EQ(ReadFile(In("next.pyo")), "next");
}

TEST_F(ExtractModulesTest, ExistingModulesAreOverwrittenAndOthersLeftAlone) {
  WriteFile(In("Launch.pyo"), std::string(100, 'o'));
  WriteFile(In("unlisted.pyo"), "old");
  library.list = "Launch.pyo\n";
  library.files = {{"Launch.pyo", "new"}};
  Extract();
  EXPECT_EQ(ReadFile(In("Launch.pyo")), "new");
  EXPECT_EQ(ReadFile(In("unlisted.pyo")), "old");
}

#if !defined(_WIN32)  // a file size limit is the Linux way to fill the disk on purpose
// Runs in a child process of the test: the file size limit stands in for a disk that fills
// up in the middle of a module.
[[noreturn]] void ExtractWithFileSizeLimit(FakeScriptLibrary& library,
                                           const WorkingFolder& folder) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{16 * 1024, 16 * 1024};
  setrlimit(RLIMIT_FSIZE, &limit);
  TransferBuffer transfer;
  ExtractModules(library, transfer, folder.WithSeparator(), "fw");
  bool big_removed = !fs::exists(folder.path() / "big.pyo");
  bool small_written = ReadFile(folder.path() / "small.pyo") == "small";
  std::exit(big_removed && small_written ? 0 : 1);
}

TEST_F(ExtractModulesTest, AModuleThatCannotBeWrittenWholeIsRemoved) {
  library.list = "big.pyo\nsmall.pyo\n";
  library.files = {{"big.pyo", std::string(64 * 1024, 'b')}, {"small.pyo", "small"}};
  EXPECT_EXIT(ExtractWithFileSizeLimit(library, folder), ::testing::ExitedWithCode(0), "");
}
#endif

TEST_F(ExtractModulesTest, AFullListWithoutNulIsNeverReadPastItsEnd) {
  std::string list;
  while (list.size() + 6 <= kScriptListSize) list += "m.pyo\n";
  list.resize(kScriptListSize, 'z');  // a last entry without LF fills the buffer to its end
  library.list = list;
  Extract();
  EXPECT_EQ(Reads().size(), kScriptListSize / 6);
}

}  // namespace
}  // namespace fwlaunch
