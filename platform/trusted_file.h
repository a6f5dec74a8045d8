// A file this process may load and run: one that no other local user can have put there or
// changed, held open so that what was checked is what gets used.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"

namespace fwlaunch::platform {

class TrustedFile {
 public:
  // Opens the regular file at path when it, the folder holding it and every link on the way
  // to either belong to this user or to the administrator, and neither the file nor the folder
  // can be written by anyone else. Refused, with the check that failed and what to do about
  // it, otherwise; a FIFO or device is never opened. Where the system keeps no owners of that
  // kind, only that a file is there is checked.
  static Result<TrustedFile> Open(const std::string& path);

  TrustedFile(TrustedFile&& other) noexcept;
  TrustedFile& operator=(TrustedFile&&) = delete;
  TrustedFile(const TrustedFile&) = delete;
  TrustedFile& operator=(const TrustedFile&) = delete;
  ~TrustedFile();

  // A path under which the system finds exactly the file that was checked, for as long as
  // this object lives, whatever happens meanwhile to the name it was opened by.
  const std::string& load_path() const { return load_path_; }

 private:
  // What keeps the checked file as it was, as each system holds it (platform/posix/,
  // platform/windows/).
  struct State;
  TrustedFile(std::unique_ptr<State> state, std::string load_path);
  std::unique_ptr<State> state_;
  std::string load_path_;
};

}  // namespace fwlaunch::platform
