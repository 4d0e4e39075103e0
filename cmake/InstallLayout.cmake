# Where `make install` puts the program, relative to the prefix; read by the install rules and by
# `make uninstall`, which removes exactly these files.
#
# The program keeps its database and settings beside itself, so it gets a directory of its own, which the user
# owns and can write. Its executables are built for one machine, so the directory lies under lib/, as other
# programs with a directory of their own do; bin/ holds only links: to the program and to its command-line
# tools, qw-propose (a scheme proposed from a page) and qw-schemes (schemes exported and imported).
set(QW_PROGRAM_DIR lib/quillwatch)
set(QW_INSTALLED_FILES
  bin/quillwatch
  bin/qw-propose
  bin/qw-schemes
  ${QW_PROGRAM_DIR}/quillwatch
  ${QW_PROGRAM_DIR}/quillwatch-homepage
  ${QW_PROGRAM_DIR}/quillwatch-render
  ${QW_PROGRAM_DIR}/qw-propose
  ${QW_PROGRAM_DIR}/qw-schemes
  share/applications/quillwatch.desktop
  share/icons/hicolor/48x48/apps/quillwatch.png
  share/icons/hicolor/256x256/apps/quillwatch.png)
# Laid once and never removed: the user's database and settings.
set(QW_USER_FILES ${QW_PROGRAM_DIR}/mavo.sdb ${QW_PROGRAM_DIR}/mavonet.ini)
