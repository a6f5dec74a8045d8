// The encodings a normal start of the interpreter takes from the locale.
#pragma once

#include <string>

namespace fwlaunch::interpreter {

class LocaleEncodings {
 public:
  LocaleEncodings() = default;
  LocaleEncodings(const LocaleEncodings&) = delete;
  LocaleEncodings& operator=(const LocaleEncodings&) = delete;

  // Takes on the file system's encoding and that of each standard stream that is a terminal. A
  // normal start looks them up among its codecs while it starts; with the working folder as its
  // home it could not find them then. Call once the codecs can be loaded (InstallLazyCodecs);
  // what the start already set is left alone.
  void Adopt();
  // Once the interpreter is shut down: it no longer points at the text this kept.
  void Release();

 private:
  // The interpreter keeps a pointer to the file system's encoding, when this set it.
  std::string filesystem_encoding_;
};

}  // namespace fwlaunch::interpreter
