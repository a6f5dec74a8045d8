#include "platform/windows/last_error.h"

#include <windows.h>

#include <cstdio>

namespace fwlaunch::platform {

std::string DescribeLastError() {
  DWORD code = GetLastError();
  char text[256] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, text, sizeof text, nullptr);
  while (length > 0 &&
         (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.'))
    text[--length] = '\0';
  if (length == 0) std::snprintf(text, sizeof text, "system error %lu", code);
  return text;
}

}  // namespace fwlaunch::platform
