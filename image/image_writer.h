// Building a firmware image from named members and config texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fwlaunch::image {

struct Member {
  std::string name;
  std::string bytes;
};

struct ConfigRecord {
  std::string key;
  std::string value;
};

// The whole image: config records in the order given, the table sorted by name, the data in
// the order given. With compress, a member is deflated when that makes it smaller. Nothing,
// with the reason in *why, when a name, key or size breaks the format's limits.
std::optional<std::string> BuildImage(const std::vector<ConfigRecord>& config,
                                      const std::vector<Member>& members, bool compress,
                                      std::string* why);

}  // namespace fwlaunch::image
