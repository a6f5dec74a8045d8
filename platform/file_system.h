// Plain questions and actions on paths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace fwlaunch::platform {

// The user's temporary folder when the system reports one that exists.
std::optional<std::string> TemporaryFolder();

// Why the system cannot reach a path that a program was handed or asked for, for a person:
// Windows' narrow calls lose the characters their code page lacks. Nothing when it can.
std::optional<std::string> WhyNarrowCallsCannotReach(const std::string& path);

// The machine-wide application data folder as the system reports it; nothing where the system
// has none or cannot say.
std::optional<std::string> MachineDataFolder();

// Whether anything exists under that name (a link counts by what it points to).
bool PathExists(const std::string& path);

// Whether the path names a regular file (a link counts by what it points to).
bool IsRegularFile(const std::string& path);

// Whether the path names a folder (a link counts by what it points to).
bool IsFolder(const std::string& path);

// The size of a regular file; the reason when the path names none.
Result<std::uint64_t> RegularFileSize(const std::string& path);

// The size of the regular file at path when this process can open it for reading; the reason
// otherwise. Nothing is read, and a FIFO or device is never opened.
Result<std::uint64_t> ReadableFileSize(const std::string& path);

// The first entry along the relative path below folder (each of its folders, then its last
// component) that is a link, as folder + the path to it; nothing when none is. Entries that
// do not exist yet are no links.
std::optional<std::string> FirstLinkBelow(const std::string& folder, std::string_view relative);

// Removes a file (never a folder); false when it could not be removed.
bool RemoveFile(const std::string& path);

// Writes bytes to path through a temporary file beside it that is renamed into place only when
// whole and on disk, so that a failure never leaves a half-written file under that name. A
// request to end the process waits until the temporary file is gone; the caller's process
// lets a file-size limit fail the write (PrepareProcess).
Status WriteFileAtomically(const std::string& path, const std::string& bytes);

// A number no other process or load of a library is likely to draw.
std::uint64_t UnpredictableNumber();

}  // namespace fwlaunch::platform
