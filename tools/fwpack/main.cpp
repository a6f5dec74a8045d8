// fwpack: builds, lists, extracts and verifies firmware images.
#include <cstdio>
#include <string>

#include "tools/fwpack/commands.h"

#ifndef FWLAUNCH_VERSION
#error "FWLAUNCH_VERSION is the program's version"
#endif

namespace {

constexpr char kHelp[] =
    "\n"
    "create   packs the files into IMAGE (written whole or not at all). A member is named by\n"
    "         its file's base name, or NAME=PATH. --compress deflates members where that makes\n"
    "         them smaller. SCRIPT_PYD, the module list, defaults to the .pyo and .pyd members\n"
    "         in the order given; --set adds or replaces config texts.\n"
    "list     shows the config keys and every entry: size, stored size, method, CRC-32, name.\n"
    "extract  writes all entries, or the NAMEs, below DIR (default: the current folder).\n"
    "verify   checks the structure and every entry's CRC-32; names the first bad entry.\n"
    "\n"
    "Exit status: 0 done, 1 a file or image is bad or could not be written, 2 usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace fwlaunch::fwpack;
  if (argc < 2) return UsageError("no command given");
  std::string command = argv[1];
  Arguments arguments(argv + 2, argv + argc);
  if (command == "--help" || command == "-h") {
    std::printf("%s%s", UsageText(), kHelp);
    return kExitOk;
  }
  if (command == "--version") {
    std::printf("fwpack %s\n", FWLAUNCH_VERSION);
    return kExitOk;
  }
  if (command == "create") return RunCreate(arguments);
  if (command == "list") return RunList(arguments);
  if (command == "extract") return RunExtract(arguments);
  if (command == "verify") return RunVerify(arguments);
  return UsageError("unknown command " + command);
}
