// An in-process script library that serves files from memory, records every call and
// notes each breach of the library's contract by its caller.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "extract/script_library.h"

namespace fwlaunch::testing {

class FakeScriptLibrary : public ScriptLibrary {
 public:
  // Raw bytes placed at the start of the list buffer (at most kScriptListSize).
  std::string list;
  std::map<std::string, std::string> files;
  // Counts returned instead of a file's size, whatever was copied.
  std::map<std::string, std::int32_t> forced_counts;

  std::vector<std::string> calls;
  std::vector<std::string> violations;

  std::int32_t QueryCfg(const char*, const char* key, char* buffer) override {
    calls.push_back(std::string("QueryCfg ") + key);
    if (!AllZero(reinterpret_cast<std::uint8_t*>(buffer), kScriptListSize))
      violations.push_back("list not zeroed");
    std::memcpy(buffer, list.data(), std::min(list.size(), kScriptListSize));
    return 1;
  }

  std::int32_t OpenFirmware(const char*, std::uint8_t* transfer, std::uint8_t* context) override {
    calls.push_back("OpenFirmware");
    if (!std::equal(kAccessToken.begin(), kAccessToken.end(), context))
      violations.push_back("context lacks the token");
    if (!AllZero(context + kAccessToken.size(), kContextSize - kAccessToken.size()))
      violations.push_back("context not zeroed");
    if (!AllZero(transfer, kTransferSize)) violations.push_back("transfer not zeroed");
    context[100] = 0x5A;  // the library's own state, which the caller must leave alone
    opened_context_ = context;
    opened_transfer_ = transfer;
    return 1;
  }

  std::int32_t ReadFileInFW(std::uint8_t* context, const char* name, std::int32_t offset,
                            std::int32_t capacity, std::uint8_t* transfer,
                            std::int32_t mode) override {
    calls.push_back(std::string("ReadFileInFW ") + name);
    if (context != opened_context_ || context[100] != 0x5A)
      violations.push_back("context not the opened one");
    if (transfer != opened_transfer_) violations.push_back("another transfer buffer");
    if (!std::equal(kAccessToken.begin(), kAccessToken.end(), transfer))
      violations.push_back(std::string("no token before reading ") + name);
    if (offset != 0 || capacity != kTransferSize || mode != 1)
      violations.push_back("read arguments");
    std::int32_t count = 0;
    if (auto file = files.find(name); file != files.end()) {
      std::memcpy(transfer, file->second.data(), file->second.size());
      count = static_cast<std::int32_t>(file->second.size());
    }
    if (auto forced = forced_counts.find(name); forced != forced_counts.end())
      count = forced->second;
    return count;
  }

 private:
  static bool AllZero(const std::uint8_t* bytes, std::size_t size) {
    return std::all_of(bytes, bytes + size, [](std::uint8_t b) { return b == 0; });
  }
  std::uint8_t* opened_context_ = nullptr;
  std::uint8_t* opened_transfer_ = nullptr;
};

}  // namespace fwlaunch::testing
