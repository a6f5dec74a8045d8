// Built into each program with its own FWLAUNCH_COMMON_APPDATA, so that test builds never
// touch the system's folder.
#include <string>

#include "purge/purge_shared_data.h"

#ifndef FWLAUNCH_COMMON_APPDATA
#error "FWLAUNCH_COMMON_APPDATA names the machine-wide application data folder"
#endif

namespace fwlaunch {

std::string SharedDataFolder() {
  std::string folder = FWLAUNCH_COMMON_APPDATA;
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + "BrenvikProductTQLN/";
}

}  // namespace fwlaunch
