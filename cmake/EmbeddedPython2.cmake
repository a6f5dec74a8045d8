# Finds the CPython 2.7 that the launcher embeds: its shared library, headers, interpreter
# (used to compile .py to .pyo) and standard-library folder.
# Debian 12 has no python2 package, so a pyenv build is the usual source; another one is
# named with -DPython2_ROOT_DIR=...
if(NOT Python2_ROOT_DIR)
  foreach(candidate "$ENV{PYENV_ROOT}/versions/2.7.18" "$ENV{HOME}/.pyenv/versions/2.7.18"
                    "/root/.pyenv/versions/2.7.18")
    if(EXISTS "${candidate}/include/python2.7/Python.h")
      set(Python2_ROOT_DIR "${candidate}" CACHE PATH "Root of the CPython 2.7 installation")
      break()
    endif()
  endforeach()
endif()

set(Python2_FIND_STRATEGY LOCATION)
if(WIN32)
  # The Windows tool binds python27.dll at run time and needs nothing of it to build; the
  # build machine's interpreter still compiles .py to .pyo.
  find_package(Python2 2.7 REQUIRED COMPONENTS Interpreter)
  message(STATUS "CPython 2.7 for compiling modules: ${Python2_EXECUTABLE}")
else()
  find_package(Python2 2.7 REQUIRED COMPONENTS Interpreter Development.Embed)
endif()

if(NOT WIN32 AND NOT Python2_STDLIB)
  execute_process(
    COMMAND "${Python2_EXECUTABLE}" -S -c "import os; print(os.path.dirname(os.__file__))"
    OUTPUT_VARIABLE Python2_STDLIB OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(NOT WIN32)
  list(GET Python2_LIBRARIES 0 python2_library)
  get_filename_component(FWLAUNCH_PYTHON2_LIBRARY_DIR "${python2_library}" DIRECTORY)
  message(STATUS "Embedded CPython 2.7: ${Python2_LIBRARIES}, standard library ${Python2_STDLIB}")
endif()

# Compiles Python sources to optimised bytecode (.pyo) in OUTPUT_DIR; the list of produced
# files is returned in OUT_VAR.
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
              "import py_compile, sys; py_compile.compile(sys.argv[1], sys.argv[2], doraise=True)"
              "${absolute}" "${output}"
      DEPENDS "${absolute}"
      COMMENT "Compiling ${stem}.pyo"
      VERBATIM)
    list(APPEND outputs "${output}")
  endforeach()
  set(${OUT_VAR} ${outputs} PARENT_SCOPE)
endfunction()

# Builds a CPython 2.7 extension module named NAME.pyd (the file name firmware images carry).
function(fwlaunch_add_pyd TARGET NAME OUTPUT_DIR)
  fwlaunch_add_library(${TARGET} MODULE ${ARGN})
  target_include_directories(${TARGET} SYSTEM PRIVATE ${Python2_INCLUDE_DIRS})
  set_target_properties(${TARGET} PROPERTIES
    PREFIX "" OUTPUT_NAME "${NAME}" SUFFIX ".pyd"
    LIBRARY_OUTPUT_DIRECTORY "${OUTPUT_DIR}")
endfunction()
