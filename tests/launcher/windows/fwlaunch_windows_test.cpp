// fwlaunch.exe end to end on what only Windows has: the calling conventions of a script
// library, its path rules, the interpreter bound at run time, the section's process in a job,
// the named-mutex run lock and the shell's purge, all against the real python27.dll.
#include <windows.h>

#include <thread>

#include "tests/launcher/fwlaunch_fixture.h"
#include "tests/support/windows/windows_system.h"

namespace fwlaunch::testing {
namespace {

TEST_F(FwlaunchTest, AMissingInterpreterIsAnUnknownExceptionAndThePurgeRuns) {
  // The program alone, without the interpreter beside it.
  fs::path alone = scratch.path() / "alone";
  fs::create_directories(alone);
  fs::copy_file(FWLAUNCH_TESTING_BINARY, alone / "fwlaunch.exe");
  ProgramRun run =
      RunProgram((alone / "fwlaunch.exe").string(), LaunchArguments("Seven", {}), options);
  EXPECT_EQ(run.out, Line("Unknown Exception!"));
  EXPECT_EQ(run.exit_status, -1);
  EXPECT_TRUE(Purged());
  EXPECT_TRUE(fs::exists(Work() / "Launch.pyo")) << "extracted before the interpreter was wanted";
}

TEST_F(FwlaunchTest, AProcessEndedWithAFaultsCodeIsACrash) {
  ProgramRun run = Launch("EndWithFaultCode");
  EXPECT_EQ(run.out, Line("Unknown Exception!"));
  EXPECT_EQ(run.exit_status, -1);
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, AStdcallLibraryIsCalledAsSafelyAsACdeclOne) {
  fs::remove(Work() / "Script.dll");
  fs::copy_file(FWLAUNCH_STDCALL_LIBRARY, Work() / "Script.dll");
  WriteFile(Firmware() / "SCRIPT_PYD", "a.pyo\nb.pyd\nLaunch.pyo\nhelper.pyo\n");
  WriteFile(Firmware() / "a.pyo", "a");
  WriteFile(Firmware() / "b.pyd", "bb");
  ProgramRun run = Launch("UseHelper");
  EXPECT_EQ(run.exit_status, 42) << run.out;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadFile(Work() / "b.pyd"), "bb");
  EXPECT_EQ(ReadFile(Firmware() / "calls.log"),
            "QueryCfg SCRIPT_PYD\nOpenFirmware\nReadFileInFW a.pyo\nReadFileInFW b.pyd\n"
            "ReadFileInFW Launch.pyo\nReadFileInFW helper.pyo\n");
}

TEST_F(FwlaunchTest, NamesThatWouldLeaveTheWorkingFolderAreNeverAskedFor) {
  fs::create_directories(Work() / "sub");
  std::vector<std::string> hostile{"..\\escape.pyo",
                                   "sub\\..\\..\\escape2.pyo",
                                   "C:\\absolute.pyo",
                                   "C:drive.pyo",
                                   "\\rooted.pyo",
                                   "\\\\host\\share\\unc.pyo",
                                   "NUL.pyo",
                                   "con.pyd",
                                   "Launch.pyo:stream.pyo",
                                   "...\\dots.pyo",
                                   std::string(124, 'l') + ".pyo"};
  std::string list;
  for (const std::string& name : hostile) list += name + "\n";
  WriteFile(Firmware() / "SCRIPT_PYD", list + "sub\\inner.pyo\nLaunch.pyo\n");
  fs::create_directories(Firmware() / "sub");
  WriteFile(Firmware() / "sub" / "inner.pyo", "inner");
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.exit_status, 7) << run.out;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadFile(Firmware() / "calls.log"),
            "QueryCfg SCRIPT_PYD\nOpenFirmware\nReadFileInFW sub\\inner.pyo\n"
            "ReadFileInFW Launch.pyo\n");
  EXPECT_EQ(ReadFile(Work() / "sub" / "inner.pyo"), "inner");
  EXPECT_FALSE(fs::exists(Temp() / "escape.pyo"));
  EXPECT_FALSE(fs::exists(Temp() / "escape2.pyo"));
}

std::string Utf8(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A user whose temporary folder, or whose firmware's path, holds characters the system's code
// page lacks (a Russian or Chinese name on a Western system) still runs: the script receives
// paths that reach what they name.
TEST_F(FwlaunchTest, PathsOutsideTheCodePageReachTheScript) {
  ASSERT_NE(GetACP(), static_cast<UINT>(CP_UTF8)) << "a code page that lacks them is needed";
  fs::path temp = scratch.path() / L"\u0422\u0435\u0441\u0442\u4e34\u65f6";
  fs::create_directories(temp / "QALM");
  fs::copy_file(FWLAUNCH_FOLDER_LIBRARY, temp / "QALM" / "Script.dll");
  fs::path firmware =
      scratch.path() / L"\u041f\u0440\u043e\u0448\u0438\u0432\u043a\u0430\u56fa\u4ef6";
  fs::copy(Firmware(), firmware, fs::copy_options::recursive);

  ProgramOptions wide = options;
  wide.utf8_text = true;
  wide.environment["TMP"] = wide.environment["TEMP"] = Utf8(temp);
  // The twin, which tells what went wrong should the run fail.
  ProgramRun run = RunProgram(
      FWLAUNCH_TRACE_BINARY,
      {"unread", Utf8(firmware), "Reach", Utf8(firmware / "helper.pyo"), Utf8(temp)}, wide);
  EXPECT_EQ(run.out, "") << run.err;
  EXPECT_EQ(run.exit_status, 0) << "the script could not reach a path it was given";
  EXPECT_TRUE(fs::exists(temp / "QALM" / "Launch.pyo"));
  EXPECT_TRUE(Purged());
}

TEST_F(FwlaunchTest, AnAbsentSharedDataFolderIsSilent) {
  SetFileAttributesA((Shared() / ".hidden").string().c_str(), FILE_ATTRIBUTE_NORMAL);
  fs::remove_all(Shared());
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.exit_status, 7);
  EXPECT_EQ(run.out, "");
}

// The narrow calls map a full-width "．．＼" to "..\": a purge listing by them would delete
// files outside the folder and inside its sub-folders by the mapped names.
TEST_F(FwlaunchTest, ThePurgeDeletesExactlyTheFilesItFoundInsideTheFolder) {
  WriteFile(AppData() / "victim.dat", "beside");
  auto create_wide = [&](const std::wstring& name) {
    std::wstring path = Shared().wstring() + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  };
  create_wide(L"\uFF0E\uFF0E\uFF3Cvictim.dat");  // ．．＼victim.dat
  create_wide(L"sub\uFF3Ckept.dat");             // sub＼kept.dat
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.exit_status, 7);
  EXPECT_TRUE(Purged()) << "sub\\kept.dat went";
  EXPECT_TRUE(fs::exists(AppData() / "victim.dat")) << "a file beside the folder went";
  std::size_t files_left = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(Shared()))
    files_left += entry.is_directory() ? 0 : 1;
  EXPECT_EQ(files_left, 0u) << "the full-width names themselves stayed";
}

// The section's process sits in a job that ends it when the launcher ends, however the
// launcher ends.
TEST_F(FwlaunchTest, AKilledLauncherTakesTheSectionsProcessAlong) {
  fs::path marker = scratch.path() / "ready";
  RunningProgram launcher = Start("Sleep", {marker.string()});
  ASSERT_TRUE(WaitForFile(marker)) << "the function never began";
  std::vector<std::uint32_t> sections = ChildProcessesOf(launcher.pid());
  ASSERT_EQ(sections.size(), 1u);
  launcher.Terminate();
  EXPECT_TRUE(ProcessEndsWithin(sections[0], 30000)) << "the section ran on without its launcher";
}

TEST_F(FwlaunchTest, RunsStartedTogetherTakeTurns) {
  fs::path log = scratch.path() / "order.log";
  std::vector<RunningProgram> runs;
  for (int i = 0; i < 3; ++i) runs.push_back(Start("Hold", {log.string(), "0.3"}));
  for (RunningProgram& run : runs) EXPECT_EQ(run.Wait().exit_status, 0);
  EXPECT_EQ(ReadFile(log), "begin\nend\nbegin\nend\nbegin\nend\n")
      << "one run's function ran while another's did";
}

TEST_F(FwlaunchTest, ARunInsideARunDoesNotWaitForItsAncestor) {
  ProgramRun run = Launch("Nested", {fs::absolute(FWLAUNCH_TESTING_BINARY).string()});
  EXPECT_EQ(run.exit_status, 7) << "the inner run's status";
  EXPECT_TRUE(Purged());
}

// A section's process that cannot find its channel to the launcher ends, rather than run as a
// launcher and start a section's process of its own, one after another without end.
TEST_F(FwlaunchTest, ASectionsProcessWithoutItsChannelEndsAtOnce) {
  options.environment["FWLAUNCH_SECTION_PROCESS"] = "1";
  ProgramRun run = Launch("Seven");
  EXPECT_EQ(run.exit_status, 255);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(fs::exists(Shared() / "state.dat")) << "purged, as only a launcher does";
}

TEST_F(FwlaunchTest, AnImagePackedByFwpackRunsThroughTheReferenceLibrary) {
  fs::path image = scratch.path() / "packed.fw";
  ProgramRun packed = RunProgram(FWLAUNCH_FWPACK, {"create", image.string(), "--compress",
                                                   (Firmware() / "Launch.pyo").string(),
                                                   (Firmware() / "helper.pyo").string()});
  ASSERT_EQ(packed.exit_status, 0) << packed.err;
  EXPECT_EQ(RunProgram(FWLAUNCH_FWPACK, {"verify", image.string()}).exit_status, 0);
  fs::remove(Work() / "Script.dll");
  fs::copy_file(FWLAUNCH_REFERENCE_LIBRARY, Work() / "Script.dll");
  ProgramRun run = Run({"unread", image.string(), "UseHelper"});
  EXPECT_EQ(run.exit_status, 42) << run.out;
  EXPECT_TRUE(ReadFile(Work() / "Launch.pyo") == ReadFile(Firmware() / "Launch.pyo"));
  EXPECT_TRUE(Purged());
}

// A vendor's module is built with MSVC and links its own C runtime, msvcr90.dll, beside the
// interpreter's: variadic calls, 64-bit integers, structures by value, imported data and type
// objects all cross between the two compilers' code (launcher/windows/msvc_abi).
TEST_F(FwlaunchTest, AnExtensionModuleBuiltWithMsvcsAbiRuns) {
  fs::copy_file(fs::path(FWLAUNCH_TEST_MODULES) / "msvcabi.pyd", Firmware() / "msvcabi.pyd");
  WriteFile(Firmware() / "SCRIPT_PYD", "Launch.pyo\nmsvcabi.pyd\n");
  ProgramRun run = Launch("MsvcBuiltModule");
  EXPECT_EQ(run.exit_status, 9) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Purged());
}

}  // namespace
}  // namespace fwlaunch::testing
