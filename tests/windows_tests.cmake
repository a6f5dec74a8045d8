# What the Windows tests stand on, and the tests only Windows has, run under Wine by CTest (the
# toolchain's emulator) against the real python27.dll the project builds. GoogleTest is built
# for the target from the sources Debian ships. The suites themselves are registered with
# Linux's, in CMakeLists.txt.
set(FWLAUNCH_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest's sources (Debian's googletest package), built for the target")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory("${FWLAUNCH_GTEST_SOURCE_DIR}" "${CMAKE_CURRENT_BINARY_DIR}/googletest"
                 EXCLUDE_FROM_ALL)

# The script library double once more with stdcall exports, under their plain names as such
# DLLs usually are: the launcher must call both conventions.
fwlaunch_add_script_library_double(stdcall_script_library Stdcall FWLAUNCH_STDCALL_EXPORTS)
target_link_options(stdcall_script_library PRIVATE "LINKER:--kill-at")

# The launcher as the tests run it, beside the real interpreter, and a second copy beside the
# python27.dll double (support/windows/python27_double.cpp), which logs how it is called.
set(program_folder "${CMAKE_CURRENT_BINARY_DIR}/program")
set(double_folder "${CMAKE_CURRENT_BINARY_DIR}/program-double")
set_target_properties(fwlaunch-testing fwlaunch-trace-testing PROPERTIES
                      RUNTIME_OUTPUT_DIRECTORY "${program_folder}")
fwlaunch_place_windows_interpreter(test_interpreter "${program_folder}")
add_custom_command(TARGET fwlaunch-testing POST_BUILD
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${double_folder}"
  COMMAND "${CMAKE_COMMAND}" -E copy_if_different "$<TARGET_FILE:fwlaunch-testing>"
          "${double_folder}")
fwlaunch_add_library(python27_double MODULE support/windows/python27_double.cpp)
set_target_properties(python27_double PROPERTIES
  PREFIX "" OUTPUT_NAME "python27" SUFFIX ".dll" LIBRARY_OUTPUT_DIRECTORY "${double_folder}")

# An extension module built as vendors build theirs, with MSVC's ABI and its C runtime
# msvcr90.dll (clang and lld-link for that target): what their modules need of python27.dll
# stays true.
set(msvc_abi "${CMAKE_CURRENT_SOURCE_DIR}/launcher/windows/msvc_abi")
add_custom_command(OUTPUT "${FWLAUNCH_TEST_MODULES_DIR}/msvcabi.pyd"
  COMMAND "${msvc_abi}/build_msvc_pyd.sh" "${msvc_abi}/msvcabi.c" "${msvc_abi}/msvcr90.def"
          "${FWLAUNCH_WINDOWS_PYTHON}" "${FWLAUNCH_TEST_MODULES_DIR}/msvcabi.pyd"
  DEPENDS "${msvc_abi}/build_msvc_pyd.sh" "${msvc_abi}/msvc_toolchain.sh" "${msvc_abi}/msvcabi.c"
          "${msvc_abi}/msvcr90.def"
          "${FWLAUNCH_WINDOWS_PYTHON}/python27.dll"
  COMMENT "Building msvcabi.pyd with MSVC's ABI"
  VERBATIM)
add_custom_target(msvc_abi_module DEPENDS "${FWLAUNCH_TEST_MODULES_DIR}/msvcabi.pyd")

# python27.dll exports all that the release's headers declare to that compiler, and nothing
# of GCC's making.
add_test(NAME Python27DllExportsTheReleasesInterface
  COMMAND "${Python2_EXECUTABLE}"
          "${CMAKE_CURRENT_SOURCE_DIR}/cpython_build/windows_exports_test.py"
          "${FWLAUNCH_WINDOWS_PYTHON}" "${CMAKE_OBJDUMP}" "${msvc_abi}/preprocess_as_msvc.sh")

# The project's own python27.dll is the profile-guided build, not the instrumented one it was
# trained as (another one, named by FWLAUNCH_WINDOWS_PYTHON_DIR, is the user's business).
if(NOT FWLAUNCH_WINDOWS_PYTHON_DIR)
  add_test(NAME Python27DllIsTheTrainedBuild
    COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/cpython_build/windows_profile_test.sh"
            "${FWLAUNCH_WINDOWS_PYTHON}")
endif()

# The demo converts on Windows as on Linux: from the build tree, and from the Windows package
# unpacked into a fresh Wine prefix. (Shell scripts that start the Windows programs with wine.)
set(demo_modules "${PROJECT_BINARY_DIR}/examples/demo/modules")
set(demo_reference "${PROJECT_BINARY_DIR}/examples/demo/reference.hex")
add_test(NAME DemoConvertsOnWindows
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/examples/windows_demo_test.sh tree
          "$<TARGET_FILE:fwlaunch-testing>" "$<TARGET_FILE:fwpack>" "${demo_modules}"
          "${demo_reference}" "$<TARGET_FILE:script_library>")
add_test(NAME WindowsPackageConvertsTheDemoInAFreshPrefix
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/examples/windows_demo_test.sh package "${PROJECT_BINARY_DIR}"
          "${demo_modules}" "${demo_reference}")
set_tests_properties(DemoConvertsOnWindows WindowsPackageConvertsTheDemoInAFreshPrefix
                     PROPERTIES TIMEOUT ${FWLAUNCH_TEST_TIMEOUT})
