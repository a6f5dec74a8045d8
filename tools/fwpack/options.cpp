#include "tools/fwpack/options.h"

#include <getopt.h>

namespace fwlaunch::fwpack {

namespace {

// getopt's value for an option without a short name: past every character.
constexpr int kLongOnlyBase = 256;

}  // namespace

Result<ParsedArguments> ParseOptions(const Arguments& arguments,
                                     std::span<const OptionKind> kinds) {
  std::string short_options = ":";  // ':' first: a missing value is told apart
  std::vector<option> long_options;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const OptionKind& kind = kinds[i];
    int value = kind.short_name != 0 ? kind.short_name : kLongOnlyBase + static_cast<int>(i);
    if (kind.short_name != 0)
      short_options += std::string(1, kind.short_name) + (kind.takes_value ? ":" : "");
    if (kind.long_name != nullptr)
      long_options.push_back(
          {kind.long_name, kind.takes_value ? required_argument : no_argument, nullptr, value});
  }
  long_options.push_back({nullptr, 0, nullptr, 0});

  // getopt reads argv as a program gets it: the command's name first.
  std::vector<std::string> copies{"fwpack"};
  copies.insert(copies.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& copy : copies) argv.push_back(copy.data());
  argv.push_back(nullptr);

  ParsedArguments parsed;
  opterr = 0;
  optind = 0;  // starts getopt afresh
  int argc = static_cast<int>(copies.size());
  for (;;) {
    int index = -1;
    int found = getopt_long(argc, argv.data(), short_options.c_str(), long_options.data(), &index);
    if (found == -1) break;
    // GNU getopt moves the operands behind the options in argv, so argv is what to read.
    std::string given =
        optind > 0 && optind <= argc ? argv[static_cast<std::size_t>(optind - 1)] : std::string();
    if (found == '?')
      return Fail(optopt != 0 ? "unknown option -" + std::string(1, static_cast<char>(optopt))
                              : "unknown or ambiguous option " + given);
    if (found == ':') return Fail("option " + given + " takes a value");
    for (std::size_t i = 0; i < kinds.size(); ++i) {
      int value =
          kinds[i].short_name != 0 ? kinds[i].short_name : kLongOnlyBase + static_cast<int>(i);
      if (value == found) parsed.options.emplace_back(i, optarg != nullptr ? optarg : "");
    }
  }
  for (int i = optind; i < argc; ++i) parsed.operands.push_back(argv[static_cast<std::size_t>(i)]);
  return parsed;
}

}  // namespace fwlaunch::fwpack
