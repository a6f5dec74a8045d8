// The interpreter's codecs, loaded from the standard library when first needed instead of at
// every start: their import is the largest single share of an interpreter's start, and most
// conversions never encode text through them.
#pragma once

#include <string>
#include <vector>

#include "base/result.h"

namespace fwlaunch::interpreter {

// Registers a codec search function that, at the first lookup, imports the "encodings" package
// with the folders of stdlib_path as the only place to look; and puts a finder first on
// sys.meta_path that does the same when a script imports "encodings" or "codecs". Either way
// both are the standard library's, as when a normal start loads them before any script's folder
// is searched, whatever the working folder holds. Fails when the interpreter refuses.
Status InstallLazyCodecs(const std::vector<std::string>& stdlib_path);

// Whether codec_name is a character set every CPython 2.7 has a codec for, so that a normal
// start's lookup of it is known to succeed without loading any codec.
bool IsCodecEveryInterpreterHas(const std::string& codec_name);

}  // namespace fwlaunch::interpreter
