// fwlaunch.exe as a Windows user runs it: the real program (under Wine on the build machine),
// the folder-serving Script.dll in cdecl and stdcall, and the python27.dll double beside the
// program playing the Launch module written into the firmware folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "tests/support/windows/windows_program.h"

namespace fwlaunch::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kMinusOne = 0xFFFFFFFFu;

std::vector<std::string> SplitAtNul(const std::string& text) {
  std::vector<std::string> parts{""};
  for (char c : text) {
    if (c == '\0') parts.emplace_back();
    else parts.back() += c;
  }
  return parts;
}

// The shared data folder is what the shell reports for CSIDL_COMMON_APPDATA; every test run
// points that at a folder of its own through an environment variable.
class CommonAppDataRedirect : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SetMachineExpandString(
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
        "Common AppData", "%FWLAUNCH_TEST_APPDATA%"));
  }
};
const auto* const kRedirect = ::testing::AddGlobalTestEnvironment(new CommonAppDataRedirect);

class FwlaunchWindowsTest : public ::testing::Test {
 protected:
  FwlaunchWindowsTest() {
    fs::create_directories(Work());
    fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, Work() / "Script.dll");
    fs::create_directories(Firmware());
    WriteLaunch("Seven return 7\nConstant constant\n");
    WriteFile(Firmware() / "SCRIPT_PYD", "Launch.pyo\n");
    fs::create_directories(Shared() / "sub");
    WriteFile(Shared() / "state.dat", "state");
    WriteFile(Shared() / "sub" / "kept.dat", "kept");
    WriteFile(Shared() / "hidden.dat", "hidden");
    SetFileAttributesA((Shared() / "hidden.dat").string().c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  }

  fs::path Temp() const { return scratch.path() / "tmp"; }
  fs::path Work() const { return Temp() / "QALM"; }
  fs::path Firmware() const { return scratch.path() / "firmware"; }
  fs::path AppData() const { return scratch.path() / "appdata"; }
  fs::path Shared() const { return AppData() / "BrenvikProductTQLN"; }
  std::string LibraryPath() const { return Work().string() + "\\Script.dll"; }

  void WriteLaunch(const std::string& module) { WriteFile(Firmware() / "Launch.pyo", module); }
  std::string Calls() const { return ReadFile(Firmware() / "calls.log"); }

  std::map<std::string, std::string> Environment() const {
    return {{"TMP", Temp().string()},
            {"TEMP", Temp().string()},
            {"FWLAUNCH_TEST_APPDATA", AppData().string()}};
  }
  WindowsRun Run(const std::vector<std::string>& arguments,
                 const std::string& program = FWLAUNCH_TESTING_BINARY) {
    return RunWindowsProgram(program, arguments, Environment());
  }
  WindowsRun Launch(const std::string& function, std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments{"unread", Firmware().string(), function};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return Run(arguments);
  }

  bool Purged() const {
    return !fs::exists(Shared() / "state.dat") && !fs::exists(Shared() / "hidden.dat") &&
           fs::exists(Shared() / "sub" / "kept.dat");
  }
  void Refill() {
    WriteFile(Shared() / "state.dat", "state");
  }

  ScratchFolder scratch;
};

TEST_F(FwlaunchWindowsTest, ARunCallsTheFunctionAndPurgesReadOnlyAndHiddenFiles) {
  WindowsRun run = Launch("Seven");
  EXPECT_EQ(run.exit_code, 7u);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Purged());
  EXPECT_EQ(ReadFile(Work() / "Launch.pyo"), ReadFile(Firmware() / "Launch.pyo"));
  EXPECT_EQ(Calls().find("VIOLATION"), std::string::npos) << Calls();
}

TEST_F(FwlaunchWindowsTest, EachOwnFailurePrintsItsOneLineAndStillPurges) {
  fs::remove(Work() / "Script.dll");
  WindowsRun run = Launch("Seven");
  EXPECT_EQ(run.out, "Failed to extract script from firmware!\r\n");
  EXPECT_EQ(run.exit_code, kMinusOne);
  EXPECT_TRUE(Purged());

  Refill();
  fs::copy_file(FWLAUNCH_INCOMPLETE_LIBRARY, Work() / "Script.dll");
  EXPECT_EQ(Launch("Seven").out, "Failed to extract script from firmware!\r\n");
  EXPECT_TRUE(Purged());
  fs::remove(Work() / "Script.dll");
  fs::remove(Work() / "Launch.pyo");
  fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, Work() / "Script.dll");

  Refill();
  EXPECT_EQ(Launch("Missing").out, "Script function not in Launch.pyo!\r\n");
  EXPECT_EQ(Launch("Constant").out, "Script function not in Launch.pyo!\r\n");
  EXPECT_TRUE(Purged());

  Refill();
  WriteLaunch("BROKEN\n");
  run = Launch("Seven");
  EXPECT_EQ(run.out, "Failed to load Launch.pyo!\r\n");
  EXPECT_EQ(run.exit_code, kMinusOne);
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchWindowsTest, AMissingInterpreterIsAnUnknownExceptionAndThePurgeRuns) {
  // The program alone, without the interpreter's library beside it.
  fs::path alone = scratch.path() / "alone";
  fs::create_directories(alone);
  fs::copy_file(FWLAUNCH_TESTING_BINARY, alone / "fwlaunch.exe");
  WindowsRun run = Run({"unread", Firmware().string(), "Seven"}, (alone / "fwlaunch.exe").string());
  EXPECT_EQ(run.out, "Unknown Exception!\r\n");
  EXPECT_EQ(run.exit_code, kMinusOne);
  EXPECT_TRUE(Purged());
  EXPECT_TRUE(fs::exists(Work() / "Launch.pyo")) << "extracted before the interpreter was wanted";
}

TEST_F(FwlaunchWindowsTest, TheFunctionsIntegerIsTheExitStatus) {
  WriteLaunch("Seven return 7\nZero return 0\nBig return 256\nNegative return -5\n"
              "Nothing none\nRaise raise\nText text 7\nTooLarge return 4294967296\n");
  struct Case {
    const char* function;
    std::uint32_t exit_code;
  };
  for (Case expected : {Case{"Seven", 7}, Case{"Zero", 0}, Case{"Big", 256},
                        Case{"Negative", 0xFFFFFFFBu}, Case{"Nothing", kMinusOne},
                        Case{"Raise", kMinusOne}, Case{"Text", kMinusOne},
                        Case{"TooLarge", kMinusOne}}) {
    WindowsRun run = Launch(expected.function);
    EXPECT_EQ(run.exit_code, expected.exit_code) << expected.function;
    EXPECT_EQ(run.out, "") << expected.function;
  }
}

TEST_F(FwlaunchWindowsTest, TheFunctionGetsTheLibraryPathTheFirmwareAndTheFurtherArguments) {
  WriteLaunch("Echo echo\n");
  std::vector<std::string> extra{"two words", "quote\"inside", "trailing\\", "", "C:\\x y\\"};
  WindowsRun run = Launch("Echo", extra);
  std::vector<std::string> expected{LibraryPath(), Firmware().string()};
  expected.insert(expected.end(), extra.begin(), extra.end());
  EXPECT_EQ(SplitAtNul(run.out), expected);
  EXPECT_EQ(run.exit_code, expected.size());

  run = Launch("Echo");
  EXPECT_EQ(SplitAtNul(run.out), (std::vector<std::string>{LibraryPath(), Firmware().string()}));
}

TEST_F(FwlaunchWindowsTest, TheInterpreterIsUsedInTheDocumentedOrder) {
  ASSERT_EQ(Launch("Seven").exit_code, 7u);
  std::string work = Work().string() + "\\";
  std::string expected = "Py_SetPythonHome " + work +
                         "\n"
                         "Py_Initialize optimize=2 nosite=1\n"
                         "PySys_GetObject path\n"
                         "PyString_FromString " + work + "\n"
                         "PyList_Insert 0 " + work + "\n"
                         "PyString_FromString Launch\n"
                         "PyImport_Import Launch\n"
                         "PyModule_GetDict\n"
                         "PyDict_GetItemString Seven\n"
                         "PyCallable_Check\n"
                         "PyTuple_New 2\n"
                         "Py_BuildValue s\n"
                         "PyTuple_SetItem 0\n"
                         "Py_BuildValue s\n"
                         "PyTuple_SetItem 1\n"
                         "PyGILState_Ensure\n"
                         "PyObject_CallObject 2\n"
                         "PyArg_Parse i\n"
                         "PyGILState_Release\n"
                         "Py_Finalize\n";
  EXPECT_EQ(ReadFile(Work() / "python_calls.log"), expected);
}

TEST_F(FwlaunchWindowsTest, ACrashInTheLibraryOrTheInterpreterIsAnUnknownException) {
  WriteLaunch("Seven return 7\nCrash crash\n");
  WindowsRun run = Launch("Crash");
  EXPECT_EQ(run.out, "Unknown Exception!\r\n") << "nothing but the message: no crash dump";
  EXPECT_EQ(run.exit_code, kMinusOne);
  EXPECT_TRUE(Purged());

  for (const char* operation : {"QueryCfg", "OpenFirmware"}) {
    Refill();
    WriteFile(Firmware() / "CRASH_IN", operation);
    run = Launch("Seven");
    EXPECT_EQ(run.out, "Unknown Exception!\r\n") << operation;
    EXPECT_EQ(run.exit_code, kMinusOne);
    EXPECT_TRUE(Purged());
  }
  fs::remove(Firmware() / "CRASH_IN");
  Refill();
  WriteFile(Firmware() / "COUNTS", "Launch.pyo crash\n");
  run = Launch("Seven");
  EXPECT_EQ(run.out, "Unknown Exception!\r\n");
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchWindowsTest, AFunctionThatEndsItsProcessGivesItsStatusAndThePurgeRuns) {
  WriteLaunch("Exit exit 3\nFault exit 3221225477\n");
  WindowsRun run = Launch("Exit");
  EXPECT_EQ(run.exit_code, 3u);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Purged());
  Refill();
  run = Launch("Fault");  // ends with an access violation's code: a crash
  EXPECT_EQ(run.out, "Unknown Exception!\r\n");
  EXPECT_EQ(run.exit_code, kMinusOne);
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchWindowsTest, AStdcallLibraryIsCalledAsSafelyAsACdeclOne) {
  fs::remove(Work() / "Script.dll");
  fs::copy_file(FWLAUNCH_STDCALL_LIBRARY, Work() / "Script.dll");
  WriteLaunch("Seven return 7\n");
  WriteFile(Firmware() / "SCRIPT_PYD", "a.pyo\nb.pyd\nLaunch.pyo\n");
  WriteFile(Firmware() / "a.pyo", "a");
  WriteFile(Firmware() / "b.pyd", "bb");
  WindowsRun run = Launch("Seven");
  EXPECT_EQ(run.exit_code, 7u) << run.out;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadFile(Work() / "b.pyd"), "bb");
  EXPECT_EQ(Calls(), "QueryCfg SCRIPT_PYD\nOpenFirmware\nReadFileInFW a.pyo\nReadFileInFW b.pyd\n"
                     "ReadFileInFW Launch.pyo\n");
}

TEST_F(FwlaunchWindowsTest, NamesThatWouldLeaveTheWorkingFolderAreNeverAskedFor) {
  fs::create_directories(Work() / "sub");
  std::vector<std::string> hostile{"..\\escape.pyo", "sub\\..\\..\\escape2.pyo",
                                   "C:\\absolute.pyo", "C:drive.pyo", "\\rooted.pyo",
                                   "\\\\host\\share\\unc.pyo", "NUL.pyo", "con.pyd",
                                   "Launch.pyo:stream.pyo", "...\\dots.pyo",
                                   std::string(124, 'l') + ".pyo"};
  std::string list;
  for (const std::string& name : hostile) list += name + "\n";
  WriteFile(Firmware() / "SCRIPT_PYD", list + "sub\\inner.pyo\nLaunch.pyo\n");
  fs::create_directories(Firmware() / "sub");
  WriteFile(Firmware() / "sub" / "inner.pyo", "inner");
  WindowsRun run = Launch("Seven");
  EXPECT_EQ(run.exit_code, 7u) << run.out;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Calls(), "QueryCfg SCRIPT_PYD\nOpenFirmware\nReadFileInFW sub\\inner.pyo\n"
                     "ReadFileInFW Launch.pyo\n");
  EXPECT_EQ(ReadFile(Work() / "sub" / "inner.pyo"), "inner");
  EXPECT_FALSE(fs::exists(Temp() / "escape.pyo"));
  EXPECT_FALSE(fs::exists(Temp() / "escape2.pyo"));
}

// The narrow calls map a full-width "．．＼" to "..\": a purge listing by them would delete
// files outside the folder and inside its sub-folders by the mapped names.
TEST_F(FwlaunchWindowsTest, ThePurgeDeletesExactlyTheFilesItFoundInsideTheFolder) {
  WriteFile(AppData() / "victim.dat", "beside");
  auto create_wide = [&](const std::wstring& name) {
    std::wstring path = Shared().wstring() + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  };
  create_wide(L"\uFF0E\uFF0E\uFF3Cvictim.dat");  // ．．＼victim.dat
  create_wide(L"sub\uFF3Ckept.dat");               // sub＼kept.dat
  WindowsRun run = Launch("Seven");
  EXPECT_EQ(run.exit_code, 7u);
  EXPECT_TRUE(Purged()) << "sub\\kept.dat went";
  EXPECT_TRUE(fs::exists(AppData() / "victim.dat")) << "a file beside the folder went";
  std::size_t files_left = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(Shared()))
    files_left += entry.is_directory() ? 0 : 1;
  EXPECT_EQ(files_left, 0u) << "the full-width names themselves stayed";
}

// The section's process sits in a job that ends it when the launcher ends, however the
// launcher ends.
TEST_F(FwlaunchWindowsTest, AKilledLauncherTakesTheSectionsProcessAlong) {
  WriteLaunch("Hold hold 60000\n");
  StartedWindowsProgram launcher(FWLAUNCH_TESTING_BINARY,
                                 {"unread", Firmware().string(), "Hold"}, Environment());
  for (int i = 0; i < 3000 && !fs::exists(Firmware() / "order.log"); ++i) Sleep(10);
  ASSERT_TRUE(fs::exists(Firmware() / "order.log")) << "the function never began";
  std::vector<std::uint32_t> sections = ChildProcessesOf(launcher.id());
  ASSERT_EQ(sections.size(), 1u);
  launcher.Terminate();
  EXPECT_TRUE(ProcessEndsWithin(sections[0], 30000)) << "the section ran on without its launcher";
}

TEST_F(FwlaunchWindowsTest, FewerThanFourArgumentsPrintTheUsageAndTouchNothing) {
  WindowsRun run = Run({"unread", Firmware().string()});
  EXPECT_EQ(run.exit_code, 255u);
  EXPECT_EQ(run.out, "usage: fwlaunch ANY FIRMWARE FUNCTION [ARGUMENT...]\r\n");
  EXPECT_TRUE(fs::exists(Shared() / "state.dat"));
}

TEST_F(FwlaunchWindowsTest, AnAbsentSharedDataFolderIsSilent) {
  SetFileAttributesA((Shared() / "hidden.dat").string().c_str(), FILE_ATTRIBUTE_NORMAL);
  fs::remove_all(Shared());
  WindowsRun run = Launch("Seven");
  EXPECT_EQ(run.exit_code, 7u);
  EXPECT_EQ(run.out, "");
}

TEST_F(FwlaunchWindowsTest, RunsStartedTogetherTakeTurns) {
  WriteLaunch("Hold hold 300\n");
  std::vector<std::thread> runs;
  std::vector<std::uint32_t> codes(3, 99);
  for (std::size_t i = 0; i < codes.size(); ++i)
    runs.emplace_back([&, i] { codes[i] = Launch("Hold").exit_code; });
  for (std::thread& run : runs) run.join();
  EXPECT_EQ(codes, (std::vector<std::uint32_t>{0, 0, 0}));
  EXPECT_EQ(ReadFile(Firmware() / "order.log"), "begin\nend\nbegin\nend\nbegin\nend\n")
      << "one run's function ran while another's did";
}

TEST_F(FwlaunchWindowsTest, AnImagePackedByFwpackRunsThroughTheReferenceLibrary) {
  fs::path image = scratch.path() / "packed.fw";
  WriteLaunch("Seven return 7\n");
  WindowsRun packed = RunWindowsProgram(FWLAUNCH_FWPACK, {"create", image.string(), "--compress",
                                                          (Firmware() / "Launch.pyo").string()});
  ASSERT_EQ(packed.exit_code, 0u) << packed.err;
  EXPECT_EQ(RunWindowsProgram(FWLAUNCH_FWPACK, {"verify", image.string()}).exit_code, 0u);
  fs::remove(Work() / "Script.dll");
  fs::copy_file(FWLAUNCH_REFERENCE_LIBRARY, Work() / "Script.dll");
  WindowsRun run = Run({"unread", image.string(), "Seven"});
  EXPECT_EQ(run.exit_code, 7u) << run.out;
  EXPECT_EQ(ReadFile(Work() / "Launch.pyo"), "Seven return 7\n");
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchWindowsTest, ARunInsideARunDoesNotWaitForItsAncestor) {
  WriteLaunch(std::string("Seven return 7\nNest nested ") + FWLAUNCH_TESTING_BINARY + "\n");
  WindowsRun run = Launch("Nest");
  EXPECT_EQ(run.exit_code, 7u) << "the inner run's status (102: it waited for its ancestor)";
  EXPECT_TRUE(Purged());
}

}  // namespace
}  // namespace fwlaunch::testing
