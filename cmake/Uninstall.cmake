# `make uninstall`: cmake -DPREFIX=<prefix> -P cmake/Uninstall.cmake
# Removes the installed files of cmake/InstallLayout.cmake and never the user's database or settings; the
# program's directory goes only when nothing is left in it. Needs no build tree.
include(${CMAKE_CURRENT_LIST_DIR}/InstallLayout.cmake)

if(NOT DEFINED PREFIX OR PREFIX STREQUAL "")
  message(FATAL_ERROR "usage: cmake -DPREFIX=<prefix> -P cmake/Uninstall.cmake")
endif()
set(root "$ENV{DESTDIR}${PREFIX}")

foreach(relative IN LISTS QW_INSTALLED_FILES)
  set(path "${root}/${relative}")
  if(EXISTS "${path}" OR IS_SYMLINK "${path}")
    file(REMOVE "${path}")
    message(STATUS "Removed: ${path}")
  endif()
endforeach()

set(directory "${root}/${QW_PROGRAM_DIR}")
if(IS_DIRECTORY "${directory}")
  file(GLOB left LIST_DIRECTORIES true RELATIVE "${directory}" "${directory}/*")
  if(left)
    list(JOIN left ", " names)
    message(STATUS "Kept: ${directory} (${names})")
  else()
    file(REMOVE_RECURSE "${directory}")
    message(STATUS "Removed: ${directory}")
  endif()
endif()
