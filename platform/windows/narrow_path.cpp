#include "platform/windows/narrow_path.h"

#include <windows.h>

#include <vector>

namespace fwlaunch::platform {

std::optional<std::string> ExactNarrowText(const std::wstring& text) {
  if (text.empty()) return std::string();
  int wide_length = static_cast<int>(text.size());
  // Best-fit mapping would turn a character the code page lacks into a look-alike it has.
  DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int length =
      WideCharToMultiByte(CP_ACP, flags, text.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), wide_length, narrow.data(), length, nullptr,
                      nullptr);
  // Exact only if it reads back as it was: a replaced character does not.
  if (WideFromNarrow(narrow) != text) return std::nullopt;
  return narrow;
}

std::optional<std::string> NarrowPathFor(const std::wstring& path) {
  if (std::optional<std::string> exact = ExactNarrowText(path)) return exact;
  DWORD length = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (length == 0) return std::nullopt;
  std::vector<wchar_t> short_path(length, L'\0');
  length = GetShortPathNameW(path.c_str(), short_path.data(), length);
  if (length == 0 || length >= short_path.size()) return std::nullopt;
  // A volume without short names answers with the long name, which the code page cannot say.
  return ExactNarrowText(std::wstring(short_path.data(), length));
}

std::wstring WideFromNarrow(const std::string& text) {
  if (text.empty()) return std::wstring();
  int narrow_length = static_cast<int>(text.size());
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), narrow_length, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), narrow_length, wide.data(), length);
  return wide;
}

}  // namespace fwlaunch::platform
