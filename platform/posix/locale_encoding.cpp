#include "platform/locale_encoding.h"

#include <langinfo.h>
#include <unistd.h>

#include <clocale>

namespace fwlaunch::platform {

std::optional<std::string> LocaleCodeset() {
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  std::string saved = current != nullptr ? current : "C";
  std::setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  std::optional<std::string> result;
  if (codeset != nullptr && *codeset != '\0') result = codeset;
  std::setlocale(LC_CTYPE, saved.c_str());
  return result;
}

bool IsTerminal(int standard_stream) { return isatty(standard_stream) == 1; }

}  // namespace fwlaunch::platform
