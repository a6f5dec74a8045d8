# Every target of the project is made through these functions, so that each one gets the same
# warnings and sanitizers, set on the target itself, and sees only the headers of what it links.

option(FWLAUNCH_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
option(FWLAUNCH_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(FWLAUNCH_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
if(FWLAUNCH_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "FWLAUNCH_FUZZ needs clang: CC=clang CXX=clang++")
endif()

function(fwlaunch_target_defaults TARGET)
  get_target_property(type ${TARGET} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang)$")
    return()
  endif()
  target_compile_options(${TARGET} PRIVATE -Wall -Wextra)
  if(FWLAUNCH_WARNINGS_AS_ERRORS)
    target_compile_options(${TARGET} PRIVATE -Werror)
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # clang 14 writes DWARF 5 by default, which Debian 12's valgrind cannot read.
    target_compile_options(${TARGET} PRIVATE -gdwarf-4)
  endif()
  set(sanitizers)
  if(FWLAUNCH_SANITIZE OR FWLAUNCH_FUZZ)
    set(sanitizers -fsanitize=address,undefined)
    target_compile_options(${TARGET} PRIVATE ${sanitizers} -fno-sanitize-recover=all
                           -fno-omit-frame-pointer)
  endif()
  if(FWLAUNCH_FUZZ)
    # Coverage for the fuzzers in everything they link; the fuzzers add the driver themselves.
    target_compile_options(${TARGET} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
  if(sanitizers AND NOT type STREQUAL "STATIC_LIBRARY")
    target_link_options(${TARGET} PRIVATE ${sanitizers})
  endif()
endfunction()

# add_library with the project's defaults.
function(fwlaunch_add_library TARGET)
  add_library(${TARGET} ${ARGN})
  fwlaunch_target_defaults(${TARGET})
endfunction()

# add_executable with the project's defaults.
function(fwlaunch_add_executable TARGET)
  add_executable(${TARGET} ${ARGN})
  fwlaunch_target_defaults(${TARGET})
endfunction()

# Lets TARGET, and whatever links it, include the headers of the calling folder by their path
# in the tree ("platform/file_system.h"), and no other folder's. Each target gets a view of
# its own in the build tree holding a link to its folder alone, so including a header of a
# library the target does not link fails to compile. FACE names the headers (of the calling
# folder) that whatever links TARGET may include: it sees those alone, in a view of their own,
# and TARGET its whole folder.
function(fwlaunch_expose_headers TARGET)
  cmake_parse_arguments(PARSE_ARGV 1 expose "" "" "FACE")
  file(RELATIVE_PATH folder "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
  set(view "${PROJECT_BINARY_DIR}/header_views/${TARGET}")
  get_filename_component(parent "${view}/${folder}" DIRECTORY)
  file(MAKE_DIRECTORY "${parent}")
  file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}" "${view}/${folder}" SYMBOLIC)
  get_target_property(type ${TARGET} TYPE)
  if(expose_FACE)
    set(face "${PROJECT_BINARY_DIR}/header_views/${TARGET}-face")
    foreach(header ${expose_FACE})
      get_filename_component(parent "${face}/${folder}/${header}" DIRECTORY)
      file(MAKE_DIRECTORY "${parent}")
      file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}/${header}" "${face}/${folder}/${header}"
           SYMBOLIC)
    endforeach()
    target_include_directories(${TARGET} PRIVATE "${view}" INTERFACE "${face}")
  elseif(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${TARGET} INTERFACE "${view}")
  elseif(type STREQUAL "EXECUTABLE" OR type STREQUAL "MODULE_LIBRARY")
    target_include_directories(${TARGET} PRIVATE "${view}")
  else()
    target_include_directories(${TARGET} PUBLIC "${view}")
  endif()
endfunction()

# A program that loads the interpreter's library finds it where the build found it. Built with
# that run path directly: letting CMake reserve room for a later rewrite would pad the build
# tree's run path with an empty entry, which makes the loader search the current folder.
function(fwlaunch_find_interpreter_where_built TARGET)
  if(NOT WIN32)
    set_target_properties(${TARGET} PROPERTIES INSTALL_RPATH "${FWLAUNCH_PYTHON2_LIBRARY_DIR}"
                                               BUILD_WITH_INSTALL_RPATH ON)
  endif()
endfunction()

# Rewrites the run path of TARGET, installed in FOLDER, to NEW_RPATH, in place.
function(fwlaunch_install_rpath TARGET FOLDER NEW_RPATH)
  install(CODE "file(RPATH_CHANGE
    FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${FOLDER}/$<TARGET_FILE_NAME:${TARGET}>\"
    OLD_RPATH \"$<TARGET_PROPERTY:${TARGET},INSTALL_RPATH>\"
    NEW_RPATH \"${NEW_RPATH}\")")
endfunction()

# Installs programs so that those with a run path find the interpreter's library beside
# themselves (BIN/../lib/fwlaunch), wherever the tree is. On Windows everything lies in one
# folder, beside python27.dll.
function(fwlaunch_install_programs)
  include(GNUInstallDirs)
  if(WIN32)
    install(TARGETS ${ARGN} RUNTIME DESTINATION .)
    return()
  endif()
  install(TARGETS ${ARGN} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  foreach(target ${ARGN})
    get_target_property(run_path ${target} INSTALL_RPATH)
    if(run_path)
      fwlaunch_install_rpath(${target} "${CMAKE_INSTALL_BINDIR}"
                             "\$ORIGIN/../${CMAKE_INSTALL_LIBDIR}/fwlaunch")
    endif()
  endforeach()
endfunction()

# Installs the interpreter module beside the interpreter's library (lib/fwlaunch).
function(fwlaunch_install_interpreter_module TARGET)
  include(GNUInstallDirs)
  install(TARGETS ${TARGET} LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}/fwlaunch")
  fwlaunch_install_rpath(${TARGET} "${CMAKE_INSTALL_LIBDIR}/fwlaunch" "\$ORIGIN")
endfunction()
