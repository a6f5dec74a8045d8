// fwpack's commands. Each takes the arguments after its name and returns the exit status:
// 0 done, 1 a file or image is bad or could not be written, 2 the command line is wrong.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "narration/printable.h"

namespace fwlaunch::fwpack {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The name that stands for standard input or output in place of a file.
inline constexpr char kStandardStream[] = "-";

using Arguments = std::vector<std::string>;

int RunCreate(const Arguments& arguments);
int RunList(const Arguments& arguments);
int RunExtract(const Arguments& arguments);
int RunVerify(const Arguments& arguments);

// Prints "fwpack: <subject>: <what>" on standard error, control characters escaped.
void Complain(const std::string& subject, const std::string& what);
// The same as a warning, which changes no exit status.
void Warn(const std::string& subject, const std::string& what);
// "1 entry", "2 entries": a count with the word that goes with it.
std::string Counted(std::size_t count, const char* one, const char* many);
// The usage lines, ending in a newline.
const char* UsageText();
// One command's help, or null for an unknown command.
const char* CommandHelp(const std::string& command);
// Prints what is wrong and the usage on standard error and returns kExitUsage.
int UsageError(const std::string& what);

}  // namespace fwlaunch::fwpack
