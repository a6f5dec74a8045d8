#include "narration/printable.h"

#include <cstdio>

namespace fwlaunch {

std::string Printable(std::string_view text, bool escape_tabs) {
  std::string shown;
  shown.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\\' && escape_tabs)
      shown += "\\\\";
    else if (c == '\n')
      shown += "\\n";
    else if (c == '\r')
      shown += "\\r";
    else if (c == '\t')
      shown += escape_tabs ? "\\t" : "\t";
    else if (byte < 0x20 || byte == 0x7f) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      shown += escaped;
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace fwlaunch
