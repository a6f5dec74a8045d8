# The Windows tests, run under Wine by CTest (the toolchain's emulator) against the real
# python27.dll the project builds. GoogleTest is built for the target from the sources Debian
# ships.
set(FWLAUNCH_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest's sources (Debian's googletest package), built for the target")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory("${FWLAUNCH_GTEST_SOURCE_DIR}" "${CMAKE_CURRENT_BINARY_DIR}/googletest"
                 EXCLUDE_FROM_ALL)

fwlaunch_add_library(fwlaunch_test_support STATIC
  support/scratch_folder.cpp
  support/windows/run_program.cpp
  support/windows/windows_system.cpp)
fwlaunch_expose_headers(fwlaunch_test_support)

# The script library double once more with stdcall exports, under their plain names as such
# DLLs usually are: the launcher must call both conventions.
fwlaunch_add_script_library_double(stdcall_script_library Stdcall FWLAUNCH_STDCALL_EXPORTS)
target_link_options(stdcall_script_library PRIVATE "LINKER:--kill-at")

# The launcher as the tests run it, beside the real interpreter, and a second copy beside the
# python27.dll double (support/windows/python27_double.cpp), which logs how it is called.
set(program_folder "${CMAKE_CURRENT_BINARY_DIR}/program")
set(double_folder "${CMAKE_CURRENT_BINARY_DIR}/program-double")
fwlaunch_add_launcher(fwlaunch-testing fwlaunch_purge_testing)
fwlaunch_add_launcher(fwlaunch-trace-testing fwlaunch_purge_testing TRACE)
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

function(fwlaunch_add_test TARGET)
  fwlaunch_add_executable(${TARGET} ${ARGN})
  target_link_libraries(${TARGET} PRIVATE fwlaunch_test_support gtest gtest_main)
  target_compile_definitions(${TARGET} PRIVATE
    FWLAUNCH_FOLDER_LIBRARY="$<TARGET_FILE:folder_script_library>"
    FWLAUNCH_INCOMPLETE_LIBRARY="$<TARGET_FILE:incomplete_script_library>")
  add_dependencies(${TARGET} folder_script_library incomplete_script_library)
  # Listed by the test program itself when CTest starts, under Wine like the tests: a case kept
  # for Linux alone is then no case here at all.
  gtest_discover_tests(${TARGET} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT ${FWLAUNCH_TEST_TIMEOUT}
                       PROPERTIES TIMEOUT ${FWLAUNCH_TEST_TIMEOUT})
endfunction()

fwlaunch_add_test(platform_test
  platform/path_rules_test.cpp
  platform/windows/call_any_convention_test.cpp)
target_link_libraries(platform_test PRIVATE fwlaunch_platform)

fwlaunch_add_test(module_list_test module_list/module_list_test.cpp)
target_link_libraries(module_list_test PRIVATE fwlaunch_module_list fwlaunch_extract)

fwlaunch_add_test(image_test image/image_test.cpp)
target_link_libraries(image_test PRIVATE fwlaunch_image)

fwlaunch_add_test(extract_test
  extract/extract_modules_test.cpp
  extract/extract_scripts_test.cpp)
target_link_libraries(extract_test PRIVATE fwlaunch_extract)

fwlaunch_add_test(purge_test purge/purge_folder_test.cpp)
target_link_libraries(purge_test PRIVATE fwlaunch_purge_testing)

fwlaunch_add_test(fwpack_test tools/fwpack_test.cpp)
add_dependencies(fwpack_test fwpack)
target_compile_definitions(fwpack_test PRIVATE
  FWLAUNCH_FWPACK="$<TARGET_FILE:fwpack>"
  FWLAUNCH_VERSION_TEXT="${PROJECT_VERSION}")

set(end_to_end_definitions
  FWLAUNCH_TEST_MODULES="${FWLAUNCH_TEST_MODULES_DIR}"
  FWLAUNCH_VERSION_TEXT="${PROJECT_VERSION}"
  FWLAUNCH_FWPACK="$<TARGET_FILE:fwpack>"
  FWLAUNCH_REFERENCE_LIBRARY="$<TARGET_FILE:script_library>"
  FWLAUNCH_STDCALL_LIBRARY="$<TARGET_FILE:stdcall_script_library>")

# An extension module built as vendors build theirs, with MSVC's ABI and its C runtime
# msvcr90.dll (clang and lld-link for that target): what their modules need of python27.dll
# stays true.
set(msvc_abi "${CMAKE_CURRENT_SOURCE_DIR}/launcher/windows/msvc_abi")
add_custom_command(OUTPUT "${FWLAUNCH_TEST_MODULES_DIR}/msvcabi.pyd"
  COMMAND "${msvc_abi}/build_msvc_pyd.sh" "${msvc_abi}/msvcabi.c" "${msvc_abi}/msvcr90.def"
          "${FWLAUNCH_WINDOWS_PYTHON}" "${FWLAUNCH_TEST_MODULES_DIR}/msvcabi.pyd"
  DEPENDS "${msvc_abi}/build_msvc_pyd.sh" "${msvc_abi}/msvcabi.c" "${msvc_abi}/msvcr90.def"
          "${FWLAUNCH_WINDOWS_PYTHON}/python27.dll"
  COMMENT "Building msvcabi.pyd with MSVC's ABI"
  VERBATIM)
add_custom_target(msvc_abi_module DEPENDS "${FWLAUNCH_TEST_MODULES_DIR}/msvcabi.pyd")
# python27.dll exports all that the release's headers declare to that compiler, and nothing
# of GCC's making.
add_test(NAME Python27DllExportsTheReleasesInterface
  COMMAND "${Python2_EXECUTABLE}" "${CMAKE_CURRENT_SOURCE_DIR}/cpython_build/windows_exports_test.py"
          "${FWLAUNCH_WINDOWS_PYTHON}" "${CMAKE_OBJDUMP}" "${msvc_abi}/preprocess_as_msvc.sh")

fwlaunch_add_test(fwlaunch_end_to_end_test
  ${FWLAUNCH_END_TO_END_SOURCES}
  launcher/windows/common_appdata_redirect.cpp
  launcher/windows/fwlaunch_windows_test.cpp)
add_dependencies(fwlaunch_end_to_end_test fwlaunch-testing fwlaunch-trace-testing
                 test_interpreter test_pyo_modules pydtest_module msvc_abi_module
                 stdcall_script_library script_library fwpack)
target_compile_definitions(fwlaunch_end_to_end_test PRIVATE ${end_to_end_definitions}
  FWLAUNCH_TESTING_BINARY="$<TARGET_FILE:fwlaunch-testing>"
  FWLAUNCH_TRACE_BINARY="$<TARGET_FILE:fwlaunch-trace-testing>")

# What only the double can show: the interpreter's calls, in their order.
fwlaunch_add_test(fwlaunch_interpreter_calls_test
  launcher/windows/common_appdata_redirect.cpp
  launcher/windows/interpreter_calls_test.cpp)
add_dependencies(fwlaunch_interpreter_calls_test fwlaunch-testing python27_double
                 test_pyo_modules pydtest_module)
target_compile_definitions(fwlaunch_interpreter_calls_test PRIVATE ${end_to_end_definitions}
  FWLAUNCH_TESTING_BINARY="${double_folder}/fwlaunch-testing.exe")

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
