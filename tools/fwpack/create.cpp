// fwpack create IMAGE [--compress] [--set KEY=VALUE]... [--] FILE|NAME=PATH...
#include <fwlaunch/script_library.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "image/image_writer.h"
#include "module_list/module_list.h"
#include "platform/file_system.h"
#include "platform/path_rules.h"
#include "tools/fwpack/commands.h"
#include "tools/fwpack/image_file.h"
#include "tools/fwpack/options.h"
#include "tools/fwpack/python_compile.h"

namespace fwlaunch::fwpack {

namespace {

struct CreateOptions {
  std::string image;
  bool compress = false;
  std::vector<image::ConfigRecord> config;
  std::vector<std::pair<std::string, std::string>> members;  // name, path
};

// A member is FILE (named by its base name) or NAME=PATH, unless FILE itself exists.
// A FILE named X.py becomes the compiled member X.pyo.
std::pair<std::string, std::string> ParseMember(const std::string& argument) {
  std::size_t equals = argument.find('=');
  if (equals != std::string::npos && equals > 0 && !platform::PathExists(argument))
    return {argument.substr(0, equals), argument.substr(equals + 1)};
  std::string name(platform::BaseName(argument));
  if (name.ends_with(".py")) name += 'o';
  return {name, argument};
}

// A member named .pyo whose file is a .py source is compiled, as python2.7 -OO would.
bool IsToBeCompiled(const std::string& name, const std::string& path) {
  return name.ends_with(".pyo") && path.ends_with(".py");
}

Result<CreateOptions> ParseCreate(const Arguments& arguments) {
  static constexpr OptionKind kOptions[] = {{"compress", 0, false}, {"set", 0, true}};
  Result<ParsedArguments> parsed = ParseOptions(arguments, kOptions);
  if (!parsed) return Fail(parsed.reason());
  CreateOptions options;
  for (const auto& [which, value] : parsed->options) {
    if (which == 0) {
      options.compress = true;
      continue;
    }
    std::size_t equals = value.find('=');
    if (equals == std::string::npos || equals == 0) return Fail("--set takes KEY=VALUE");
    options.config.push_back({value.substr(0, equals), value.substr(equals + 1)});
  }
  if (parsed->operands.empty()) return Fail("create needs an IMAGE");
  options.image = parsed->operands.front();
  for (std::size_t i = 1; i < parsed->operands.size(); ++i)
    options.members.push_back(ParseMember(parsed->operands[i]));
  return options;
}

std::string OverTheLimit(const std::string& name, std::uint64_t size) {
  return "member " + name + " is " + std::to_string(size) + " bytes, over the limit of " +
         std::to_string(kTransferSize) + " (0xA00000) that the launcher can extract";
}

Result<std::string> ReadMember(const std::string& name, const std::string& path) {
  if (path == kStandardStream) {
    Result<std::vector<std::uint8_t>> input = ReadStandardInput();
    if (!input) return Fail(input.reason());
    if (input->size() > static_cast<std::size_t>(kTransferSize))
      return Fail(OverTheLimit(name, input->size()));
    return std::string(input->begin(), input->end());
  }
  Result<std::uint64_t> size = platform::RegularFileSize(path);
  if (!size) return Fail(size.reason());
  if (*size > static_cast<std::uint64_t>(kTransferSize)) return Fail(OverTheLimit(name, *size));
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  if (!in && !in.eof()) return Fail("cannot be read");
  return content.str();
}

// The module list the launcher asks for: the .pyo and .pyd members in the order given.
std::string DefaultModuleList(const std::vector<image::Member>& members) {
  std::string list;
  for (const image::Member& member : members)
    if (HasModuleExtension(member.name)) list += member.name + "\n";
  return list;
}

// What a module list gives the launcher, and what it would not: no Launch.pyo means no run;
// text after the last LF is never read.
void WarnAboutModuleList(const std::string& image, std::string_view list) {
  SplitModuleList split(list);
  if (!split.unread.empty())
    Warn(image, "the module list's last name, " + std::string(split.unread) +
                    ", has no final LF: fwlaunch ignores it");
  if (std::find(split.names.begin(), split.names.end(), kLaunchModuleFile) == split.names.end())
    Warn(image, "the module list names no Launch.pyo: fwlaunch cannot run this image");
}

// Whether the image would be written over one of its own members' files.
bool IsSameFile(const std::string& image, const std::string& member) {
  if (image == kStandardStream || member == kStandardStream) return false;
  std::error_code error;
  if (std::filesystem::equivalent(image, member, error)) return true;
  return std::filesystem::absolute(image, error).lexically_normal() ==
         std::filesystem::absolute(member, error).lexically_normal();
}

bool WriteImage(const std::string& path, const std::string& bytes) {
  if (path == kStandardStream) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0) {
      Complain(path, "cannot be written");
      return false;
    }
    return true;
  }
  if (Status written = platform::WriteFileAtomically(path, bytes); !written) {
    Complain(path, written.reason());
    return false;
  }
  return true;
}

// The exit status to stop with when the members' sources cannot all be read as given: the
// image among them, or standard input named twice or without a member name.
std::optional<int> RefuseMemberSources(const CreateOptions& options) {
  bool standard_input_taken = false;
  for (const auto& [name, path] : options.members) {
    if (IsSameFile(options.image, path)) {
      Complain(options.image,
               "is also given as member " + name + "; it would replace its own input");
      return kExitFailure;
    }
    if (path != kStandardStream) continue;
    if (name == kStandardStream)
      return UsageError("a member from standard input needs a name: NAME=-");
    if (standard_input_taken) return UsageError("standard input can give one member only");
    standard_input_taken = true;
  }
  return std::nullopt;
}

// Each member's bytes, .py sources compiled; nothing, once told why, when one cannot be had.
std::optional<std::vector<image::Member>> ReadMembers(const CreateOptions& options) {
  std::vector<image::Member> members;
  for (const auto& [name, path] : options.members) {
    if (name.size() >= kEntryNameSize) {
      Complain(path, "member name " + name + " is " + std::to_string(name.size()) +
                         " bytes; names are limited to 127");
      return std::nullopt;
    }
    Result<std::string> bytes = ReadMember(name, path);
    if (bytes && IsToBeCompiled(name, path)) {
      // Tracebacks name the source as the firmware's author knows it.
      bytes = CompileOptimized(*bytes, std::string(platform::BaseName(path)), 0);
    }
    if (!bytes) {
      Complain(path, bytes.reason());
      return std::nullopt;
    }
    members.push_back({name, std::move(*bytes)});
  }
  return members;
}

// The module list the launcher reads: the one given, or one made from the members; false, once
// told why, when it is longer than the launcher reads.
bool SettleModuleList(CreateOptions& options, const std::vector<image::Member>& members) {
  bool has_list = false;
  for (const image::ConfigRecord& record : options.config) has_list |= record.key == kScriptListKey;
  if (!has_list)
    options.config.insert(options.config.begin(), {kScriptListKey, DefaultModuleList(members)});
  for (const image::ConfigRecord& record : options.config) {
    if (record.key != kScriptListKey) continue;
    if (record.value.size() >= kScriptListSize) {
      Complain(options.image, "module list is " + std::to_string(record.value.size()) +
                                  " characters; the launcher reads at most 1023");
      return false;
    }
    WarnAboutModuleList(options.image, record.value);
  }
  return true;
}

}  // namespace

int RunCreate(const Arguments& arguments) {
  Result<CreateOptions> options = ParseCreate(arguments);
  if (!options) return UsageError(options.reason());
  if (std::optional<int> refused = RefuseMemberSources(*options)) return *refused;
  std::optional<std::vector<image::Member>> members = ReadMembers(*options);
  if (!members || !SettleModuleList(*options, *members)) return kExitFailure;

  Result<std::string> built = image::BuildImage(options->config, *members, options->compress);
  if (!built) {
    Complain(options->image, built.reason());
    return kExitFailure;
  }
  return WriteImage(options->image, *built) ? kExitOk : kExitFailure;
}

}  // namespace fwlaunch::fwpack
