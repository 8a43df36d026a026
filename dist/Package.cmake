# The Debian package, made by `cpack` in a tree configured with CMAKE_INSTALL_PREFIX=/usr
# (scripts/package.sh does both).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TARVIK_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TARVIK_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The session bus starts Tarvik for clients; the package works without one, for a user who only
# runs the window. The window's captions are laid out for Arial's metrics: Liberation Sans keeps
# them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session | dbus-x11, xdg-utils, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "operate an Ondrix instrument with the PC's keyboard and mouse
Tarvik lets a PC stand in for the keyboard and mouse of an Ondrix instrument.
It is connected to the instrument's two serial lines: keys typed on the PC,
eight macro buttons, the on-screen Esc, Shift and Ctrl keys and the PC mouse
become the input the instrument expects from its own keyboard, while the
instrument's own keyboard and mouse keep working alongside. Its small window,
which lives in the notification area, shows the name of the instrument
currently selected on the Ondrix.
.
Scripts and other programs can send text, keys and mouse moves through Tarvik
over D-Bus and are told when the instrument changes; tarvikctl does so from
the command line. The package also holds ondrix-sim, a simulated instrument
for trying Tarvik without one.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_LIST_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
