# Run at install time (install(SCRIPT)), on the installed copy of the interpreter in
# lib/fwlaunch: strips its objects when the install strips (cmake --install --strip, cpack), and
# takes the interpreter lines off the standard library's modules, which are a library here and
# never run as programs. Expects FWLAUNCH_PRIVATE_LIB and FWLAUNCH_STRIP to be set.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${FWLAUNCH_PRIVATE_LIB}")

if(CMAKE_INSTALL_DO_STRIP)
  file(GLOB_RECURSE objects "${root}/libpython2.7.so.1.0" "${root}/python2.7/*.so"
       "${root}/python/bin/python2.7")
  foreach(object ${objects})
    execute_process(COMMAND "${FWLAUNCH_STRIP}" --strip-unneeded "${object}"
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "cannot strip ${object}")
    endif()
  endforeach()
endif()

# "#!/usr/bin/env python" and the like become a comment of the same line, so that line numbers
# in tracebacks stay as they were; the executable bit goes with it.
file(GLOB_RECURSE modules "${root}/python2.7/*.py")
foreach(module ${modules})
  file(READ "${module}" text LIMIT 200)
  if(text MATCHES "^#!")
    file(READ "${module}" whole)
    string(REGEX REPLACE "^#![^\n]*" "# (a module of the standard library)" whole "${whole}")
    file(WRITE "${module}" "${whole}")
    file(CHMOD "${module}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
endforeach()
