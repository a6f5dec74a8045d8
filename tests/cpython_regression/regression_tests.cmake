# CPython's own regression tests as a suite of ours, on both systems: each group of modules in
# modules.txt runs inside the launcher, through a firmware packed by fwpack, and beside it with
# the bare interpreter of the same build (compare_runs.py). On Windows both run under Wine,
# with the release's test package and _testcapi from the interpreter's build (its tests\).
set(regression_dir "${CMAKE_CURRENT_LIST_DIR}")
fwlaunch_compile_pyo(regression_pyo "${CMAKE_CURRENT_BINARY_DIR}/regression"
                     "${regression_dir}/Launch.py")
add_custom_target(regression_modules ALL DEPENDS ${regression_pyo})

if(WIN32)
  set(regression_system windows)
  set(regression_other_system linux)
  set(regression_bare "${CMAKE_CURRENT_BINARY_DIR}/program/python.exe")
  set(regression_support "${FWLAUNCH_WINDOWS_PYTHON}/tests")
  set(regression_timeout 1500)
else()
  set(regression_system linux)
  set(regression_other_system windows)
  set(regression_bare "${Python2_EXECUTABLE}")
  set(regression_support -)
  set(regression_timeout 600)
endif()

# One test per group, so the groups are read when CMake configures, and again when they change.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${regression_dir}/modules.txt")
file(STRINGS "${regression_dir}/modules.txt" regression_lines REGEX "^[a-z_]+:")
set(regression_groups)
foreach(line ${regression_lines})
  string(REGEX REPLACE ":.*" "" group "${line}")
  # A group whose modules all run on the other system only is no test here.
  string(REGEX REPLACE "^[^:]*:|${regression_other_system}/[A-Za-z0-9_]+|#.*" "" here "${line}")
  string(STRIP "${here}" here)
  if(here)
    list(APPEND regression_groups "${group}")
  endif()
endforeach()
list(REMOVE_DUPLICATES regression_groups)
foreach(group ${regression_groups})
  add_test(NAME CPythonRegressionTests.${group}
    COMMAND "${Python2_EXECUTABLE}" "${regression_dir}/compare_runs.py" ${regression_system}
            ${group} "${regression_dir}/modules.txt" "${regression_dir}/known_differences.txt"
            "$<TARGET_FILE:fwlaunch-testing>" "$<TARGET_FILE:fwpack>"
            "$<TARGET_FILE:script_library>" "${regression_dir}/Launch.py" ${regression_pyo}
            "${regression_bare}" "${regression_support}")
  # The longest tests of the suite: started first, so that they overlap the short ones.
  set_tests_properties(CPythonRegressionTests.${group} PROPERTIES
    TIMEOUT ${regression_timeout} LABELS cpython_regression COST 1000)
endforeach()
