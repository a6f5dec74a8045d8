// Emptying the machine-wide shared data folder of its plain files at the end of every run.
#pragma once

#include <string>

#include "narration/narrator.h"

namespace fwlaunch {

// The shared data folder: the machine-wide application data folder followed by
// "BrenvikProductTQLN" and the separator. Which folder stands for the machine-wide one is a
// build setting of the purge library the program links (purge/CMakeLists.txt).
std::string SharedDataFolder();

// Deletes the plain files directly inside the shared data folder. Silent: a missing folder
// or a file that resists deletion simply stays.
// The narrator, if any, hears each entry's fate.
void PurgeSharedData(Narrator* narrator = nullptr);

// Deletes every entry directly inside folder that is not a folder: plain files whatever their
// mode or attributes, hidden files, and links (the link goes, never its target). Folders,
// links to folders and everything inside them stay.
void PurgeFolder(const std::string& folder, Narrator* narrator = nullptr);

}  // namespace fwlaunch
