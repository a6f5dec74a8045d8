// fwpack create IMAGE [--compress] [--set KEY=VALUE]... FILE...
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "extract/extraction_limits.h"
#include "image/image_writer.h"
#include "tools/fwpack/commands.h"
#include "tools/fwpack/image_file.h"

namespace fwlaunch::fwpack {

namespace {

struct CreateOptions {
  std::string image;
  bool compress = false;
  std::vector<image::ConfigRecord> config;
  std::vector<std::pair<std::string, std::string>> members;  // name, path
};

bool IsModuleName(const std::string& name) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string extension = name.substr(dot);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension == ".pyo" || extension == ".pyd";
}

// A member is FILE (named by its base name) or NAME=PATH, unless FILE itself exists.
std::pair<std::string, std::string> ParseMember(const std::string& argument) {
  struct stat status;
  std::size_t equals = argument.find('=');
  if (equals != std::string::npos && equals > 0 && stat(argument.c_str(), &status) != 0)
    return {argument.substr(0, equals), argument.substr(equals + 1)};
  std::size_t slash = argument.rfind('/');
  return {slash == std::string::npos ? argument : argument.substr(slash + 1), argument};
}

std::optional<CreateOptions> ParseCreate(const Arguments& arguments, std::string* problem) {
  CreateOptions options;
  bool only_files = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!only_files && argument == "--") {
      only_files = true;
    } else if (!only_files && argument == "--compress") {
      options.compress = true;
    } else if (!only_files && (argument == "--set" || argument.starts_with("--set="))) {
      std::string setting = argument == "--set" ? (i + 1 < arguments.size() ? arguments[++i] : "")
                                                : argument.substr(6);
      std::size_t equals = setting.find('=');
      if (equals == std::string::npos || equals == 0)
        return *problem = "--set takes KEY=VALUE", std::nullopt;
      options.config.push_back({setting.substr(0, equals), setting.substr(equals + 1)});
    } else if (!only_files && argument.starts_with("-") && argument != "-") {
      return *problem = "unknown option " + argument, std::nullopt;
    } else if (options.image.empty()) {
      options.image = argument;
    } else {
      options.members.push_back(ParseMember(argument));
    }
  }
  if (options.image.empty()) return *problem = "create needs an IMAGE", std::nullopt;
  return options;
}

bool ReadMember(const std::string& name, const std::string& path, std::string* bytes) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return Complain(path, std::strerror(errno)), false;
  if (!S_ISREG(status.st_mode)) return Complain(path, "not a regular file"), false;
  if (status.st_size > kTransferSize) {
    Complain(path, "member " + name + " is " + std::to_string(status.st_size) +
                       " bytes, over the limit of " + std::to_string(kTransferSize) +
                       " (0xA00000) that the launcher can extract");
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  if (!in && !in.eof()) return Complain(path, "cannot be read"), false;
  *bytes = content.str();
  return true;
}

// The module list the launcher asks for: the .pyo and .pyd members in the order given.
std::string DefaultModuleList(const std::vector<image::Member>& members) {
  std::string list;
  for (const image::Member& member : members)
    if (IsModuleName(member.name)) list += member.name + "\n";
  return list;
}

}  // namespace

int RunCreate(const Arguments& arguments) {
  std::string problem;
  std::optional<CreateOptions> options = ParseCreate(arguments, &problem);
  if (!options) return UsageError(problem);

  std::vector<image::Member> members;
  for (const auto& [name, path] : options->members) {
    if (name.size() >= kEntryNameSize) {
      Complain(path, "member name " + name + " is " + std::to_string(name.size()) +
                         " bytes; names are limited to 127");
      return kExitFailure;
    }
    image::Member member{name, {}};
    if (!ReadMember(name, path, &member.bytes)) return kExitFailure;
    members.push_back(std::move(member));
  }

  bool has_list = false;
  for (const image::ConfigRecord& record : options->config) has_list |= record.key == "SCRIPT_PYD";
  if (!has_list) options->config.insert(options->config.begin(), {"SCRIPT_PYD", DefaultModuleList(members)});
  for (const image::ConfigRecord& record : options->config) {
    if (record.key == "SCRIPT_PYD" && record.value.size() >= kScriptListSize) {
      Complain(options->image, "module list is " + std::to_string(record.value.size()) +
                                   " characters; the launcher reads at most 1023");
      return kExitFailure;
    }
  }

  std::string why;
  std::optional<std::string> built =
      image::BuildImage(options->config, members, options->compress, &why);
  if (!built) return Complain(options->image, why), kExitFailure;
  if (!WriteFileAtomically(options->image, *built, &why))
    return Complain(options->image, why), kExitFailure;
  return kExitOk;
}

}  // namespace fwlaunch::fwpack
