# The Windows package, fwlaunch-VERSION-win32.zip (cpack -G ZIP): one folder as a user unpacks
# it, the programs beside the interpreter they bind:
#   fwlaunch.exe  fwlaunch-trace.exe  fwpack.exe  Script.dll (the reference script library)
#   python27.dll  python27.zip  DLLs\*.pyd, sqlite3.dll  python.exe (sys.executable of the scripts)
#   include\fwlaunch\script_library.h  firmware.py  README.txt  licenses\
# (The programs install themselves: launcher/ and tools/fwpack/.)
install(FILES "${FWLAUNCH_WINDOWS_PYTHON}/python27.dll" "${FWLAUNCH_WINDOWS_PYTHON}/python27.zip"
        DESTINATION .)
install(PROGRAMS "${FWLAUNCH_WINDOWS_PYTHON}/python.exe" DESTINATION .)
install(FILES ${FWLAUNCH_WINDOWS_EXTENSIONS} DESTINATION DLLs)
install(TARGETS script_library LIBRARY DESTINATION . RUNTIME DESTINATION .)
install(FILES "${PROJECT_SOURCE_DIR}/library_interface/fwlaunch/script_library.h"
        DESTINATION include/fwlaunch)
install(FILES "${PROJECT_SOURCE_DIR}/firmware_helper/firmware.py" DESTINATION .)
install(FILES "${CMAKE_CURRENT_LIST_DIR}/README.txt" DESTINATION .)
# The licences of everything the package holds: ours, the interpreter's (PSF) with what it
# compiles in (zlib, expat, libffi), and the MinGW-w64 runtime and zlib linked into our programs.
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION licenses RENAME FWLAUNCH-LICENSE.txt)
install(DIRECTORY "${FWLAUNCH_WINDOWS_PYTHON}/licenses/" DESTINATION licenses)
install(FILES /usr/share/doc/mingw-w64-i686-dev/copyright DESTINATION licenses
        RENAME MINGW-W64-RUNTIME-COPYRIGHT.txt)
install(FILES /usr/share/doc/libz-mingw-w64-dev/copyright DESTINATION licenses
        RENAME ZLIB-COPYRIGHT.txt)

set(CPACK_PACKAGE_NAME fwlaunch)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_SYSTEM_NAME win32)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
include(CPack)
