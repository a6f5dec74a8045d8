// A run's claim on the machine-wide shared data folder, from its start to its purge, so that
// parallel runs (each with a working folder of its own) never purge under each other: only
// the last run out purges. Every user's runs take part; nothing but a live run of this
// program counts, so no other process (another user's lock, file or object) can make a run
// skip its purge. A claim goes with its process, however that ends.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace fwlaunch::platform {

class SharedDataClaim {
 public:
  // Claims the folder for this run. Waits only while a run purges it, never for another
  // run's end; holds nothing when the folder cannot be opened or another process, not a run,
  // keeps it from being claimed.
  static SharedDataClaim Take(const std::string& folder);

  SharedDataClaim(SharedDataClaim&& other) noexcept;
  SharedDataClaim& operator=(SharedDataClaim&&) = delete;
  SharedDataClaim(const SharedDataClaim&) = delete;
  SharedDataClaim& operator=(const SharedDataClaim&) = delete;
  ~SharedDataClaim();

  // At the end of the run: another run still active on the folder (its process id), to which
  // this run leaves the purge; nothing when this run is the last out and purges, holding the
  // folder against new claims until Release.
  std::optional<long> ActiveRunBesidesThis();

  void Release();

  // For the section's process: lets go of this process's copy without releasing the claim,
  // so that nothing the script starts holds it.
  void LeaveToParent();

 private:
  struct State;
  explicit SharedDataClaim(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace fwlaunch::platform
