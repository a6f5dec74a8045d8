// A script library for tests that serves a "firmware" which is a plain folder:
//   SCRIPT_PYD  the module list, copied raw into the list buffer (up to 1024 bytes)
//   <name>      each module's bytes
//   COUNTS      optional lines "<name> <count>" forcing what a read returns, or
//               "<name> crash" to crash inside the read, "<name> interrupt" to raise SIGINT
//               (as a Ctrl-C would arrive) and "<name> slow" to take 300 ms before serving
//               the file as usual
//   CRASH_IN    optional: "QueryCfg" or "OpenFirmware", the operation that crashes
//   CHATTER     optional: when present, every read prints a line on standard output
// Every call is appended to calls.log in that folder, with a "VIOLATION" line whenever the
// caller broke the library's contract (buffers not zeroed, token missing, wrong integers).
// Built once more with stdcall exports for the Windows tests: the launcher must call both.
#if defined(FWLAUNCH_STDCALL_EXPORTS)
#define FWL_CALL __stdcall
#endif
#include <fwlaunch/script_library.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

[[maybe_unused]] constexpr std::size_t kListSize =
    FWL_SCRIPT_LIST_SIZE;  // unused where Py_QueryCfg is left out
constexpr std::size_t kContextSize = FWL_CONTEXT_SIZE;
constexpr std::int32_t kTransferSize = FWL_TRANSFER_SIZE;
constexpr char kToken[FWL_ACCESS_TOKEN_SIZE + 1] = FWL_ACCESS_TOKEN;
constexpr char kStateMark[] = "FOLDERFW";
constexpr std::size_t kStateOffset = 8;
constexpr std::size_t kPathOffset = kStateOffset + sizeof(kStateMark);

void Log(const std::string& folder, const std::string& line) {
  std::ofstream log(folder + "/calls.log", std::ios::app | std::ios::binary);
  log << line << '\n';
}

bool AllZero(const unsigned char* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

std::string ReadWholeFile(const std::string& path, bool* found) {
  std::ifstream in(path, std::ios::binary);
  *found = static_cast<bool>(in);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The count forced for a name by COUNTS, if any: "crash" or a decimal integer.
bool ForcedCount(const std::string& folder, const std::string& name, std::string* value) {
  std::ifstream counts(folder + "/COUNTS");
  std::string line;
  while (std::getline(counts, line)) {
    std::size_t space = line.rfind(' ');
    if (space != std::string::npos && line.substr(0, space) == name) {
      *value = line.substr(space + 1);
      return true;
    }
  }
  return false;
}

// A fault, as a broken library would make one.
[[noreturn]] void Crash() {
#if defined(_WIN32)
  *static_cast<volatile int*>(nullptr) = 0;
#endif
  std::raise(SIGSEGV);
  std::abort();
}

void CrashIfAsked(const std::string& folder, const char* operation) {
  bool found = false;
  if (ReadWholeFile(folder + "/CRASH_IN", &found) == operation) Crash();
}

#if !defined(_WIN32)
// Says that the library was loaded, before any call, in the file that FWLAUNCH_TEST_LOADED
// names: the trust tests plant it where no run may load it.
__attribute__((constructor)) void SayLoaded() {
  if (const char* marker = std::getenv("FWLAUNCH_TEST_LOADED")) {
    std::ofstream out(marker, std::ios::app);
    out << "loaded\n";
  }
}
#endif

}  // namespace

extern "C" {

// Built once without this export, as a library that lacks one of the three.
#ifndef FWLAUNCH_OMIT_QUERY_CFG
FWL_EXPORT std::int32_t FWL_CALL Py_QueryCfg(const char* firmware, const char* key, char* list) {
  Log(firmware, std::string("QueryCfg ") + key);
  CrashIfAsked(firmware, "QueryCfg");
  if (!AllZero(reinterpret_cast<unsigned char*>(list), kListSize))
    Log(firmware, "VIOLATION list not zeroed");
  if (std::strcmp(key, "SCRIPT_PYD") != 0) return 0;
  bool found = false;
  std::string text = ReadWholeFile(std::string(firmware) + "/SCRIPT_PYD", &found);
  std::memcpy(list, text.data(), text.size() < kListSize ? text.size() : kListSize);
  return 1;
}
#endif

FWL_EXPORT std::int32_t FWL_CALL Py_OpenFirmware(const char* firmware, std::uint8_t* transfer,
                                                 std::uint8_t* context) {
  Log(firmware, "OpenFirmware");
  CrashIfAsked(firmware, "OpenFirmware");
  if (std::memcmp(context, kToken, FWL_ACCESS_TOKEN_SIZE) != 0)
    Log(firmware, "VIOLATION context token");
  if (!AllZero(context + FWL_ACCESS_TOKEN_SIZE, kContextSize - FWL_ACCESS_TOKEN_SIZE))
    Log(firmware, "VIOLATION context not zeroed");
  if (!AllZero(transfer, kTransferSize)) Log(firmware, "VIOLATION transfer not zeroed");
  std::size_t length = std::strlen(firmware);
  if (length >= kContextSize - kPathOffset) return 0;
  std::memcpy(context + kStateOffset, kStateMark, sizeof kStateMark);
  std::memcpy(context + kPathOffset, firmware, length + 1);
  return 1;
}

FWL_EXPORT std::int32_t FWL_CALL Py_ReadFileInFW(std::uint8_t* context, const char* name,
                                                 std::int32_t offset, std::int32_t capacity,
                                                 std::uint8_t* transfer, std::int32_t mode) {
  if (std::memcmp(context + kStateOffset, kStateMark, sizeof kStateMark) != 0) return 0;
  std::string folder(reinterpret_cast<const char*>(context + kPathOffset));
  Log(folder, std::string("ReadFileInFW ") + name);
  if (std::memcmp(transfer, kToken, FWL_ACCESS_TOKEN_SIZE) != 0)
    Log(folder, "VIOLATION transfer token");
  if (offset != 0 || capacity != kTransferSize || mode != 1)
    Log(folder, "VIOLATION read arguments");

  bool chatty = false;
  ReadWholeFile(folder + "/CHATTER", &chatty);
  if (chatty) {
    std::printf("chatter while reading %s\n", name);
    std::fflush(stdout);
  }
  std::string forced;
  if (ForcedCount(folder, name, &forced)) {
    if (forced == "crash") Crash();
    if (forced == "interrupt") std::raise(SIGINT);
    if (forced == "slow") std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (forced != "interrupt" && forced != "slow")
      return static_cast<std::int32_t>(std::strtol(forced.c_str(), nullptr, 0));
  }
  bool found = false;
  std::string bytes = ReadWholeFile(folder + "/" + name, &found);
  if (!found || bytes.size() > static_cast<std::size_t>(capacity)) return 0;
  std::memcpy(transfer, bytes.data(), bytes.size());
  return static_cast<std::int32_t>(bytes.size());
}

}  // extern "C"
