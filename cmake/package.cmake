# Debian packages of the installation (cmake/install.cmake), made with
#   cpack -G DEB        (in a build configured with -DCMAKE_INSTALL_PREFIX=/usr)
#   kelvod     the program, kelvod.exe for the sets, the manual page
#   kelvod-qt  the desktop window (Qt 6), its menu entry and icon
# The dependencies on shared libraries are read from the files
# (dpkg-shlibdeps): the program needs only the C library and libgcc_s.
set(CPACK_PACKAGE_NAME kelvod)
set(CPACK_PACKAGE_VENDOR "kelvod")
set(CPACK_PACKAGE_CONTACT "kelvod developers <kelvod@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "game disk set maker and expander")
set(CPACK_PACKAGE_DESCRIPTION
  "kelvod turns the work folder of a game into a set of compressed distribution\n"
  "disks (folders or floppy images), and turns such a set back into the game's\n"
  "folder, with a menu entry for the game's launcher.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program window)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME kelvod)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS "kelvod-qt, mtools")
# icoutils: the icon of a game's menu entry; wine starts the game.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS "icoutils, wine")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME kelvod-qt)
set(CPACK_DEBIAN_WINDOW_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "kelvod (= ${PROJECT_VERSION})")
# The font the window is drawn in, and Qt's own texts (the buttons of the
# message boxes, the folder picker) in Japanese.
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, qt6-translations-l10n")
set(CPACK_COMPONENT_WINDOW_DESCRIPTION
  "the desktop window of kelvod (Qt 6 Widgets)\nkelvod loads it when a display is there; without it kelvod speaks on the terminal.")

include(CPack)
