// The options of fwpack's commands, read as every GNU tool reads them (getopt_long): long
// options may be abbreviated while unambiguous, a short option's value may follow it directly
// (-Cdir), options and operands may come in any order, "--" ends the options and "-" is an
// operand (standard input or output).
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "tools/fwpack/commands.h"

namespace fwlaunch::fwpack {

struct OptionKind {
  const char* long_name;  // or null
  char short_name;        // or 0
  bool takes_value;
};

struct ParsedArguments {
  // Each option given, by the kind's index, with its value, in order.
  std::vector<std::pair<std::size_t, std::string>> options;
  std::vector<std::string> operands;
};

// The reason, as a usage error says it, when an option is unknown, ambiguous or lacks its value.
Result<ParsedArguments> ParseOptions(const Arguments& arguments, std::span<const OptionKind> kinds);

}  // namespace fwlaunch::fwpack
