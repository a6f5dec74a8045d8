// Building a firmware image from named members and config texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

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
// the order given. With compress, a member is deflated when that makes it smaller. The reason
// when a name, key or size breaks the format's limits.
Result<std::string> BuildImage(const std::vector<ConfigRecord>& config,
                               const std::vector<Member>& members, bool compress);

}  // namespace fwlaunch::image
