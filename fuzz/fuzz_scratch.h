// A scratch folder for fuzz targets that write files, emptied between inputs.
#pragma once

#include <filesystem>
#include <string>

namespace fwlaunch::fuzz {

class FuzzScratch {
 public:
  FuzzScratch();
  FuzzScratch(const FuzzScratch&) = delete;
  FuzzScratch& operator=(const FuzzScratch&) = delete;
  // Removes the folder and all below it.
  ~FuzzScratch();
  const std::filesystem::path& root() const { return root_; }
  // Removes everything below the root except the folders named.
  void Clear(std::initializer_list<const char*> keep = {});
  // Whether the root holds only the entries named (nothing escaped into it).
  bool HoldsOnly(std::initializer_list<const char*> names) const;

 private:
  std::filesystem::path root_;
};

}  // namespace fwlaunch::fuzz
