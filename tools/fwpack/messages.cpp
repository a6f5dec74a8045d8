// fwpack's messages: one line on standard error naming the file and what is wrong, and the
// help texts. Every name from an image or the command line is shown escaped, so that control
// characters in it can never act on the terminal.
#include <cstdio>
#include <map>

#include "tools/fwpack/commands.h"

namespace fwlaunch::fwpack {

namespace {

constexpr char kUsage[] =
    "usage: fwpack create IMAGE [--compress] [--set KEY=VALUE]... [--] FILE|NAME=PATH...\n"
    "       fwpack list [--tsv] [--] IMAGE\n"
    "       fwpack extract [-C DIR | -O] [--] IMAGE [NAME...]\n"
    "       fwpack verify [--] IMAGE\n"
    "       fwpack COMMAND --help | fwpack --help | fwpack --version\n"
    "       (IMAGE, FILE or PATH '-': standard input or output)\n";

const std::map<std::string, std::string>& CommandHelps() {
  static const std::map<std::string, std::string> helps = {
      {"create",
       "usage: fwpack create IMAGE [--compress] [--set KEY=VALUE]... [--] FILE|NAME=PATH...\n"
       "Packs the files into IMAGE, written whole or not at all ('-': standard output). A\n"
       "member is named by its file's base name, or NAME=PATH ('-' as PATH: standard input).\n"
       "A Python source X.py is compiled into the member X.pyo, as python2.7 -OO would (also\n"
       "NAME.pyo=PATH.py).\n"
       "SCRIPT_PYD, the module list fwlaunch reads, defaults to the .pyo and .pyd members in\n"
       "the order given; --set adds or replaces a config text. --compress deflates members\n"
       "where that makes them smaller. Refused: names of 128 bytes or more, duplicate names,\n"
       "a module list over 1023 characters, members over 0xA00000 bytes, IMAGE as its own\n"
       "member. Warned about: a module list without Launch.pyo, or whose last name has no LF.\n"},
      {"list",
       "usage: fwpack list [--tsv] [--] IMAGE\n"
       "Shows the config texts (the module list one name a line) and every entry: size,\n"
       "stored size, method, CRC-32, name. Control characters are shown escaped.\n"
       "--tsv: one record a line, tab-separated, for programs:\n"
       "  config<TAB>KEY<TAB>VALUE\n"
       "  entry<TAB>SIZE<TAB>STORED<TAB>METHOD<TAB>CRC32<TAB>NAME\n"
       "with backslash, tab, LF, CR and other control characters escaped (\\\\ \\t \\n \\r "
       "\\xNN).\n"},
      {"extract",
       "usage: fwpack extract [-C DIR | -O] [--] IMAGE [NAME...]\n"
       "Writes all entries, or the NAMEs, below DIR (default: the current folder); -O writes\n"
       "them to standard output instead, one after another. Never writes outside DIR: names\n"
       "that would lead out of it, and links standing below it, are refused.\n"},
      {"verify",
       "usage: fwpack verify [--] IMAGE\n"
       "Checks the structure and every entry's CRC-32; names the first bad entry.\n"},
  };
  return helps;
}

}  // namespace

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

const char* UsageText() { return kUsage; }

const char* CommandHelp(const std::string& command) {
  auto help = CommandHelps().find(command);
  return help == CommandHelps().end() ? nullptr : help->second.c_str();
}

void Complain(const std::string& subject, const std::string& what) {
  std::fprintf(stderr, "fwpack: %s: %s\n", Printable(subject).c_str(), Printable(what).c_str());
}

void Warn(const std::string& subject, const std::string& what) {
  std::fprintf(stderr, "fwpack: %s: warning: %s\n", Printable(subject).c_str(),
               Printable(what).c_str());
}

int UsageError(const std::string& what) {
  std::fprintf(stderr, "fwpack: %s\n%s", Printable(what).c_str(), kUsage);
  return kExitUsage;
}

}  // namespace fwlaunch::fwpack
