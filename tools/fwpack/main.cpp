// fwpack: builds, lists, extracts and verifies firmware images.
#include <cstdio>
#include <string>

#include "platform/process_start.h"
#include "tools/fwpack/commands.h"

#ifndef FWLAUNCH_VERSION
#error "FWLAUNCH_VERSION is the program's version"
#endif

namespace {

constexpr char kHelp[] =
    "\n"
    "create   packs the files into IMAGE (written whole or not at all).\n"
    "list     shows the config texts and every entry (--tsv: for programs).\n"
    "extract  writes all entries, or the NAMEs, below DIR, or to standard output (-O).\n"
    "verify   checks the structure and every entry's CRC-32; names the first bad entry.\n"
    "'fwpack COMMAND --help' tells more.\n"
    "\n"
    "Exit status: 0 done, 1 a file or image is bad or could not be written, 2 usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace fwlaunch::fwpack;
  // As the launcher: a file-size limit then fails a write, which removes its temporary file,
  // instead of ending fwpack in the middle of it.
  fwlaunch::platform::PrepareProcess();
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
  // "COMMAND --help" before any "--" shows that command's help.
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if ((argument == "--help" || argument == "-h") && CommandHelp(command) != nullptr) {
      std::fputs(CommandHelp(command), stdout);
      return kExitOk;
    }
  }
  fwlaunch::platform::UseBinaryStandardStreams();
  if (command == "create") return RunCreate(arguments);
  if (command == "list") return RunList(arguments);
  if (command == "extract") return RunExtract(arguments);
  if (command == "verify") return RunVerify(arguments);
  return UsageError("unknown command " + command);
}
