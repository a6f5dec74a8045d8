# Finds the CPython 2.7 that the launcher embeds: its shared library, headers, interpreter
# (used to compile .py to .pyo) and standard-library folder. By default that is the project's
# own build of the 2.7.18 release (scripts/build-cpython.sh: built once, then kept in the
# cache); -DPython2_ROOT_DIR=... names another. The Windows build also gets its python27.dll,
# extension modules and python27.zip that way, or from -DFWLAUNCH_WINDOWS_PYTHON_DIR=...

set(Python2_ROOT_DIR "" CACHE PATH
    "Root of another CPython 2.7 installation (empty: the project's own build)")

# The prefix scripts/build-cpython.sh TARGET prints, building it the first time.
function(fwlaunch_own_cpython OUT TARGET)
  execute_process(COMMAND "${PROJECT_SOURCE_DIR}/scripts/build-cpython.sh" ${TARGET}
                  OUTPUT_VARIABLE prefix OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed OR NOT IS_DIRECTORY "${prefix}")
    message(FATAL_ERROR "CPython 2.7.18 for ${TARGET} could not be built (see above)")
  endif()
  # A change to the recipe configures the tree again, which builds and takes the new result.
  file(GLOB recipe "${PROJECT_SOURCE_DIR}/cpython_build/${TARGET}/*")
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${recipe})
  set(${OUT} "${prefix}" PARENT_SCOPE)
endfunction()

set(python_root "${Python2_ROOT_DIR}")
set(FWLAUNCH_OWN_PYTHON2 OFF)
if(NOT python_root)
  fwlaunch_own_cpython(python_root linux)
  set(FWLAUNCH_OWN_PYTHON2 ON)
endif()
# A different interpreter (another root, or a new build of the recipe) is looked for afresh.
if(NOT "${python_root}" STREQUAL "${FWLAUNCH_PYTHON2_FOUND_ROOT}")
  get_cmake_property(cached CACHE_VARIABLES)
  foreach(variable ${cached})
    if(variable MATCHES "^_?Python2_" AND NOT variable STREQUAL "Python2_ROOT_DIR")
      unset(${variable} CACHE)
    endif()
  endforeach()
  set(FWLAUNCH_PYTHON2_FOUND_ROOT "${python_root}" CACHE INTERNAL "")
endif()
set(Python2_ROOT_DIR "${python_root}")

set(Python2_FIND_STRATEGY LOCATION)
if(WIN32)
  # The Windows tool binds python27.dll at run time and needs nothing of it to build but the
  # headers and import library its extension modules compile against; the build machine's
  # interpreter compiles .py to .pyo.
  find_package(Python2 2.7 REQUIRED COMPONENTS Interpreter)
  set(FWLAUNCH_WINDOWS_PYTHON_DIR "" CACHE PATH
      "python27.dll, DLLs/, python27.zip, include/ and libs/ (empty: the project's own build)")
  set(FWLAUNCH_WINDOWS_PYTHON "${FWLAUNCH_WINDOWS_PYTHON_DIR}")
  if(NOT FWLAUNCH_WINDOWS_PYTHON)
    fwlaunch_own_cpython(FWLAUNCH_WINDOWS_PYTHON windows)
  endif()
  # The extension modules and the libraries they import (sqlite3.dll), as DLLs\ holds them.
  file(GLOB FWLAUNCH_WINDOWS_EXTENSIONS "${FWLAUNCH_WINDOWS_PYTHON}/DLLs/*")
  message(STATUS "CPython 2.7 for Windows: ${FWLAUNCH_WINDOWS_PYTHON}")
else()
  find_package(Python2 2.7 REQUIRED COMPONENTS Interpreter Development.Embed)
endif()
message(STATUS "CPython 2.7 for compiling modules: ${Python2_EXECUTABLE}")

if(NOT WIN32)
  execute_process(
    COMMAND "${Python2_EXECUTABLE}" -S -c "import os; print(os.path.dirname(os.__file__))"
    OUTPUT_VARIABLE Python2_STDLIB OUTPUT_STRIP_TRAILING_WHITESPACE)
  list(GET Python2_LIBRARIES 0 python2_library)
  get_filename_component(FWLAUNCH_PYTHON2_LIBRARY_DIR "${python2_library}" DIRECTORY)
  message(STATUS "Embedded CPython 2.7: ${Python2_LIBRARIES}, standard library ${Python2_STDLIB}")
endif()

# Puts the Windows interpreter beside the programs in FOLDER, as they find it: python27.dll,
# python27.zip, the extension modules (and sqlite3.dll) in DLLs\ and python.exe.
function(fwlaunch_place_windows_interpreter TARGET FOLDER)
  set(outputs "${FOLDER}/python27.dll" "${FOLDER}/python27.zip" "${FOLDER}/python.exe")
  foreach(extension ${FWLAUNCH_WINDOWS_EXTENSIONS})
    get_filename_component(name "${extension}" NAME)
    list(APPEND outputs "${FOLDER}/DLLs/${name}")
  endforeach()
  add_custom_command(OUTPUT ${outputs}
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${FOLDER}/DLLs"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${FWLAUNCH_WINDOWS_PYTHON}/python27.dll"
            "${FWLAUNCH_WINDOWS_PYTHON}/python27.zip" "${FWLAUNCH_WINDOWS_PYTHON}/python.exe"
            "${FOLDER}"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different ${FWLAUNCH_WINDOWS_EXTENSIONS} "${FOLDER}/DLLs"
    COMMENT "Placing the interpreter in ${FOLDER}"
    VERBATIM)
  add_custom_target(${TARGET} ALL DEPENDS ${outputs})
endfunction()

# Compiles Python sources to optimised bytecode (.pyo) in OUTPUT_DIR; the list of produced
# files is returned in OUT_VAR. Tracebacks name each source by its file name alone, as fwpack
# compiles them, not by where the build machine keeps it.
function(fwlaunch_compile_pyo OUT_VAR OUTPUT_DIR)
  set(outputs)
  foreach(source ${ARGN})
    get_filename_component(stem "${source}" NAME_WE)
    get_filename_component(absolute "${source}" ABSOLUTE)
    set(output "${OUTPUT_DIR}/${stem}.pyo")
    add_custom_command(
      OUTPUT "${output}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${OUTPUT_DIR}"
      COMMAND "${Python2_EXECUTABLE}" -OO -c
              "import os, py_compile, sys; py_compile.compile(sys.argv[1], sys.argv[2], os.path.basename(sys.argv[1]), doraise=True)"
              "${absolute}" "${output}"
      DEPENDS "${absolute}"
      COMMENT "Compiling ${stem}.pyo"
      VERBATIM)
    list(APPEND outputs "${output}")
  endforeach()
  set(${OUT_VAR} ${outputs} PARENT_SCOPE)
endfunction()

# Builds a CPython 2.7 extension module named NAME.pyd (the file name firmware images carry),
# for the interpreter of the target system.
function(fwlaunch_add_pyd TARGET NAME OUTPUT_DIR)
  fwlaunch_add_library(${TARGET} MODULE ${ARGN})
  if(WIN32)
    target_include_directories(${TARGET} SYSTEM PRIVATE "${FWLAUNCH_WINDOWS_PYTHON}/include")
    target_link_libraries(${TARGET} PRIVATE "${FWLAUNCH_WINDOWS_PYTHON}/libs/libpython27.dll.a")
  else()
    target_include_directories(${TARGET} SYSTEM PRIVATE ${Python2_INCLUDE_DIRS})
  endif()
  set_target_properties(${TARGET} PROPERTIES
    PREFIX "" OUTPUT_NAME "${NAME}" SUFFIX ".pyd"
    LIBRARY_OUTPUT_DIRECTORY "${OUTPUT_DIR}")
endfunction()
