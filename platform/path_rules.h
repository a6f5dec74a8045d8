// The rules for names that are joined to a folder: which separators the system knows, and
// whether a name can lead out of the folder it is joined to.
#pragma once

#include <string_view>

namespace fwlaunch::platform {

enum class PathStyle { kPosix, kWindows };

#if defined(_WIN32)
inline constexpr PathStyle kNativePathStyle = PathStyle::kWindows;
inline constexpr char kSeparator = '\\';
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::kPosix;
inline constexpr char kSeparator = '/';
#endif

bool IsSeparator(char c, PathStyle style = kNativePathStyle);

// Whether name, joined to a folder that ends in a separator, names something inside that
// folder: a relative path with no ".." component. Under the Windows rules it must also be no
// rooted ("\x"), drive-qualified ("C:x"), UNC ("\\host\x") or device name ("NUL", "CON.pyo"),
// hold no ':' (which would name a stream of another file), and no component of dots and
// spaces alone (which Windows reads as "." or "..").
bool StaysInsideFolder(std::string_view name, PathStyle style = kNativePathStyle);

// The last component of a path (the whole path when it has no separator).
std::string_view BaseName(std::string_view path, PathStyle style = kNativePathStyle);

}  // namespace fwlaunch::platform
