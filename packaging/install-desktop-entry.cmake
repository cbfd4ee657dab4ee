# Installs the desktop entry with the installed editor's full path in its Exec
# lines, so that the menu starts it whether or not the prefix's bin folder is
# on the desktop's PATH. Runs at install time (install(SCRIPT)), so the prefix
# is the one `cmake --install --prefix` was given. Set before it:
#   QV450_DESKTOP_ENTRY  the entry's template (@QV450_PROGRAM@ for the program)
#   QV450_DESKTOP_WORK   a folder in the build tree the entry is written in first
#   QV450_BINDIR, QV450_DATADIR  install folders, relative to the prefix or absolute
foreach(dir BINDIR DATADIR)
  if(IS_ABSOLUTE "${QV450_${dir}}")
    set(${dir} "${QV450_${dir}}")
  else()
    set(${dir} "${CMAKE_INSTALL_PREFIX}/${QV450_${dir}}")
  endif()
endforeach()
# A prefix given relative is taken from the folder the install runs in, as
# the install itself takes it.
get_filename_component(program "${BINDIR}/qv450-edit" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
if(program MATCHES "[\r\n]")
  message(FATAL_ERROR "A desktop entry cannot start a program whose path has a line break: ${program}")
endif()

# A path with characters other than these is quoted, with \ " ` $ escaped
# inside the quotes; then every \ is doubled (the entry's string escape) and
# % is written %% (field codes).
set(QV450_PROGRAM "${program}")
if(QV450_PROGRAM MATCHES "[^A-Za-z0-9_./+,:@=-]")
  string(REGEX REPLACE "([\\\\\"`$])" "\\\\\\1" QV450_PROGRAM "${QV450_PROGRAM}")
  set(QV450_PROGRAM "\"${QV450_PROGRAM}\"")
endif()
string(REPLACE "\\" "\\\\" QV450_PROGRAM "${QV450_PROGRAM}")
string(REPLACE "%" "%%" QV450_PROGRAM "${QV450_PROGRAM}")

# A folder of its own for each install: installs into other prefixes at the
# same time do not write over each other's entry.
string(RANDOM LENGTH 12 key)
set(entry "${QV450_DESKTOP_WORK}/${key}/qv450-edit.desktop")
configure_file("${QV450_DESKTOP_ENTRY}" "${entry}" @ONLY)
file(INSTALL "${entry}" DESTINATION "${DATADIR}/applications")
file(REMOVE_RECURSE "${QV450_DESKTOP_WORK}/${key}")
