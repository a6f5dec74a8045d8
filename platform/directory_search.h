// A walk over the entries directly inside one folder, closed when its owner goes.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/result.h"

namespace fwlaunch::platform {

struct DirectoryEntry {
  // The name as a person reads it (UTF-8 where the system's own names are wide).
  std::string name;
  // A folder, or a link that leads to one.
  bool is_folder = false;
};

class DirectorySearch {
 public:
  // Nothing when the folder cannot be opened.
  static std::optional<DirectorySearch> Open(const std::string& folder);

  DirectorySearch(DirectorySearch&& other) noexcept;
  DirectorySearch& operator=(DirectorySearch&&) = delete;
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;
  ~DirectorySearch();

  // The next entry, "." and ".." included; nothing once the folder is exhausted.
  std::optional<DirectoryEntry> Next();

  // Removes the entry that Next() gave last, by the very name the system listed it under,
  // whatever its attributes; a link goes, never what it points to. The system's reason when
  // it stays. Only for an entry that is no folder.
  Status RemoveFound();

 private:
  struct State;
  explicit DirectorySearch(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace fwlaunch::platform
