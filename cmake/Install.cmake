# `make install`: the program, its two helpers and the command-line tools in a directory of their own, links
# in bin/, the desktop entry, the icon and a starter database that is laid only where none exists.
include(${CMAKE_CURRENT_LIST_DIR}/InstallLayout.cmake)

# Without a prefix of its own, cmake --install follows `make install`: into the user's own ~/.local.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND DEFINED ENV{HOME})
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Install prefix" FORCE)
endif()

# qw-propose and qw-schemes, the command-line tools, and the page renderer go beside the program.
install(TARGETS quillwatch quillwatch-homepage quillwatch-render qw-propose qw-schemes RUNTIME DESTINATION
  ${QW_PROGRAM_DIR})

# The links are relative, so a tree staged under DESTDIR still points at its own program. The program finds its
# directory through the link, as it resolves its own path.
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/install-tree/bin)
foreach(qw_linked quillwatch qw-propose qw-schemes)
  set(qw_link ${PROJECT_BINARY_DIR}/install-tree/bin/${qw_linked})
  file(CREATE_LINK ../${QW_PROGRAM_DIR}/${qw_linked} ${qw_link} SYMBOLIC)
  install(FILES ${qw_link} DESTINATION bin)
endforeach()

install(FILES ${PROJECT_BINARY_DIR}/icons/quillwatch-48.png DESTINATION share/icons/hicolor/48x48/apps
  RENAME quillwatch.png)
install(FILES ${PROJECT_BINARY_DIR}/icons/quillwatch-256.png DESTINATION share/icons/hicolor/256x256/apps
  RENAME quillwatch.png)

# The desktop entry and the starter database depend on the prefix, known only at install time.
install(CODE "
  set(QW_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/assets/quillwatch.desktop.in\")
  set(QW_STAGING_DIR \"${PROJECT_BINARY_DIR}/install-tree\")
  set(QW_INITDB \"$<TARGET_FILE:qw-initdb>\")
  set(QW_SCHEMA \"${PROJECT_SOURCE_DIR}/src/storage/schema.sql\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/InstallSteps.cmake\")
")
