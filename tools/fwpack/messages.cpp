// fwpack's messages: one line on standard error naming the file and what is wrong.
#include <cstdio>

#include "tools/fwpack/commands.h"

namespace fwlaunch::fwpack {

namespace {

constexpr char kUsage[] =
    "usage: fwpack create IMAGE [--compress] [--set KEY=VALUE]... FILE|NAME=PATH...\n"
    "       fwpack list IMAGE\n"
    "       fwpack extract IMAGE [NAME...] [-C DIR]\n"
    "       fwpack verify IMAGE\n"
    "       fwpack --help | --version\n";

}  // namespace

const char* UsageText() { return kUsage; }

void Complain(const std::string& subject, const std::string& what) {
  std::fprintf(stderr, "fwpack: %s: %s\n", subject.c_str(), what.c_str());
}

int UsageError(const std::string& what) {
  std::fprintf(stderr, "fwpack: %s\n%s", what.c_str(), kUsage);
  return kExitUsage;
}

}  // namespace fwlaunch::fwpack

