# The install steps that depend on the prefix; run by cmake --install, after the executables are in place.
include(${CMAKE_CURRENT_LIST_DIR}/InstallLayout.cmake)

# An Exec path as one quoted argument of a desktop entry: the quoting escapes the double quote, the back
# quote, the dollar sign and the backslash; the entry's own string escape then doubles each backslash; a
# percent sign is doubled, as it would begin a field code.
function(qw_desktop_argument text out)
  foreach(char "\\" "\"" "`" "$")
    string(REPLACE "${char}" "\\${char}" text "${text}")
  endforeach()
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "%" "%%" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# The entry names the link by its full path (without DESTDIR), as a prefix's bin/ need not be on the
# desktop's PATH. A relative prefix counts from where the install runs, as it does for the files.
get_filename_component(qw_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
qw_desktop_argument("${qw_prefix}/bin/quillwatch" QW_DESKTOP_EXEC)
configure_file("${QW_DESKTOP_TEMPLATE}" "${QW_STAGING_DIR}/quillwatch.desktop" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
  FILES "${QW_STAGING_DIR}/quillwatch.desktop")

# The starter database, never over one that is there (a link to one elsewhere included). It is not listed
# among the installed files, so nothing that removes them removes it.
set(qw_database "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${QW_PROGRAM_DIR}/mavo.sdb")
if(EXISTS "${qw_database}" OR IS_SYMLINK "${qw_database}")
  message(STATUS "Kept: ${qw_database}")
else()
  execute_process(COMMAND "${QW_INITDB}" "${QW_SCHEMA}" "${qw_database}" RESULT_VARIABLE qw_result)
  if(NOT qw_result EQUAL 0)
    message(FATAL_ERROR "Could not lay the starter database at ${qw_database}")
  endif()
endif()
