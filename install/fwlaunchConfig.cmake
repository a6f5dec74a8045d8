# find_package(fwlaunch): the script library's C interface, for authors of script libraries.
#   target_link_libraries(my_script_library PRIVATE fwlaunch::script_library_interface)
get_filename_component(_fwlaunch_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET fwlaunch::script_library_interface)
  add_library(fwlaunch::script_library_interface INTERFACE IMPORTED)
  set_target_properties(fwlaunch::script_library_interface PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_fwlaunch_prefix}/include")
endif()
unset(_fwlaunch_prefix)
