# What `cmake --install` puts in place besides bin/kelvod and
# lib/kelvod/kelvod-qt.so (app/frontends/qt), and the Debian packages that
# `cpack -G DEB` makes of it:
#   bin/kelvod.exe                            the Windows program: a make run
#                                             copies it onto the last disk too
#   share/applications/kelvod.desktop         the menu entry
#   share/icons/hicolor/32x32/apps/kelvod.png the program's icon, from kelvod.ico
#   share/man/man1/kelvod.1                   the manual page
#
# kelvod.exe: KELVOD_WINDOWS_EXE names a built one; left empty, it is
# cross-built here (ExternalProject, in windows/) when Debian's mingw-w64
# compiler is installed; OFF installs none.
include(GNUInstallDirs)

set(KELVOD_WINDOWS_EXE "" CACHE STRING
  "kelvod.exe to install beside kelvod: its path, OFF for none, empty to cross-build it")
set(kv_windows_exe "")
if(KELVOD_WINDOWS_EXE STREQUAL "")
  find_program(KV_MINGW_CXX i686-w64-mingw32-g++-win32)
  if(KV_MINGW_CXX)
    include(ExternalProject)
    ExternalProject_Add(kelvod_exe
      SOURCE_DIR ${CMAKE_SOURCE_DIR}
      BINARY_DIR ${CMAKE_BINARY_DIR}/windows
      CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-i686.cmake
                 -DCMAKE_BUILD_TYPE=Release -DKELVOD_TESTS=OFF -DKELVOD_BENCH=OFF
      BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target kelvod
      BUILD_ALWAYS ON
      INSTALL_COMMAND "")
    set(kv_windows_exe ${CMAKE_BINARY_DIR}/windows/kelvod.exe)
  else()
    message(STATUS "kelvod.exe: no mingw-w64 compiler (g++-mingw-w64-i686-win32); "
      "the installation leaves it out, or give -DKELVOD_WINDOWS_EXE=path/kelvod.exe")
  endif()
elseif(NOT KELVOD_WINDOWS_EXE STREQUAL "OFF")
  get_filename_component(kv_windows_exe "${KELVOD_WINDOWS_EXE}" ABSOLUTE)
  if(NOT EXISTS "${kv_windows_exe}")
    message(FATAL_ERROR "KELVOD_WINDOWS_EXE: ${kv_windows_exe} does not exist")
  endif()
endif()
if(kv_windows_exe)
  # Data for the sets, not a program of this system.
  install(FILES ${kv_windows_exe} DESTINATION ${CMAKE_INSTALL_BINDIR}
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ COMPONENT program)
endif()

install(FILES docs/man/kelvod.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)

# The menu entry and its icon belong to the window.
install(FILES packaging/kelvod.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
  COMPONENT window)
find_program(KV_ICOTOOL icotool)
if(KV_ICOTOOL)
  set(kv_icon ${CMAKE_BINARY_DIR}/icons/kelvod.png)
  add_custom_command(OUTPUT ${kv_icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
    COMMAND ${KV_ICOTOOL} -x --width=32 --height=32 -o ${kv_icon}
            ${CMAKE_SOURCE_DIR}/app/frontends/win32/kelvod.ico
    DEPENDS ${CMAKE_SOURCE_DIR}/app/frontends/win32/kelvod.ico
    VERBATIM)
  add_custom_target(kelvod_icon ALL DEPENDS ${kv_icon})
  install(FILES ${kv_icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
    COMPONENT window)
else()
  message(STATUS "icotool (icoutils) not found: the installation has no icon for the menu entry")
endif()
