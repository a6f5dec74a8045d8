# The Windows tests, run under Wine by CTest (the toolchain's emulator). GoogleTest is built for
# the target from the sources Debian ships.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_CURRENT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)

fwlaunch_add_library(fwlaunch_test_support STATIC
  support/scratch_folder.cpp
  support/windows/windows_program.cpp)
fwlaunch_expose_headers(fwlaunch_test_support)

# The doubles: the folder-serving script library with cdecl and with stdcall exports (the
# latter exported under their plain names, as such DLLs usually are), one lacking an export,
# and python27.dll, which lies beside the launcher the tests run so that it finds it first.
fwlaunch_add_script_library_double(folder_script_library Script)
fwlaunch_add_script_library_double(stdcall_script_library Stdcall FWLAUNCH_STDCALL_EXPORTS)
target_link_options(stdcall_script_library PRIVATE "LINKER:--kill-at")
fwlaunch_add_script_library_double(incomplete_script_library Incomplete FWLAUNCH_OMIT_QUERY_CFG)

set(FWLAUNCH_TEST_PROGRAM_DIR "${CMAKE_CURRENT_BINARY_DIR}/program")
fwlaunch_add_library(python27_double MODULE support/windows/python27_double.cpp)
set_target_properties(python27_double PROPERTIES
  PREFIX "" OUTPUT_NAME "python27" SUFFIX ".dll"
  LIBRARY_OUTPUT_DIRECTORY "${FWLAUNCH_TEST_PROGRAM_DIR}")

fwlaunch_add_launcher(fwlaunch-testing fwlaunch_purge_testing)
set_target_properties(fwlaunch-testing PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                      "${FWLAUNCH_TEST_PROGRAM_DIR}")

function(fwlaunch_add_test TARGET)
  fwlaunch_add_executable(${TARGET} ${ARGN})
  target_link_libraries(${TARGET} PRIVATE fwlaunch_test_support gtest gtest_main)
  gtest_add_tests(TARGET ${TARGET} TEST_LIST tests)
  set_tests_properties(${tests} PROPERTIES TIMEOUT ${FWLAUNCH_TEST_TIMEOUT})
endfunction()

fwlaunch_add_test(platform_test
  platform/path_rules_test.cpp
  platform/windows/call_any_convention_test.cpp)
target_link_libraries(platform_test PRIVATE fwlaunch_platform)

fwlaunch_add_test(extract_test extract/script_list_test.cpp)
target_link_libraries(extract_test PRIVATE fwlaunch_extract)

fwlaunch_add_test(image_test image/image_test.cpp)
target_link_libraries(image_test PRIVATE fwlaunch_image)

fwlaunch_add_test(fwlaunch_end_to_end_test launcher/windows/fwlaunch_windows_test.cpp)
add_dependencies(fwlaunch_end_to_end_test fwlaunch-testing python27_double folder_script_library
                 stdcall_script_library incomplete_script_library script_library fwpack)
target_compile_definitions(fwlaunch_end_to_end_test PRIVATE
  FWLAUNCH_FWPACK="$<TARGET_FILE:fwpack>"
  FWLAUNCH_REFERENCE_LIBRARY="$<TARGET_FILE:script_library>"
  FWLAUNCH_TESTING_BINARY="$<TARGET_FILE:fwlaunch-testing>"
  FWLAUNCH_FOLDER_LIBRARY="$<TARGET_FILE:folder_script_library>"
  FWLAUNCH_STDCALL_LIBRARY="$<TARGET_FILE:stdcall_script_library>"
  FWLAUNCH_INCOMPLETE_LIBRARY="$<TARGET_FILE:incomplete_script_library>")
