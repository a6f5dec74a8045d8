// Runs ExtractScripts once, as the launcher does, for whole-process timing against tar.
// Usage: extract_driver LIBRARY FOLDER/ IMAGE
#include <cstdio>

#include "extract/extract_scripts.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: extract_driver LIBRARY FOLDER/ IMAGE\n");
    return 2;
  }
  fwlaunch::ExtractScripts(argv[1], argv[2], argv[3]);
  return 0;
}
