# Runs at install time (cmake --install, or CPack): writes KLIK_TEMPLATE to
# KLIK_DESTINATION (a folder relative to the prefix) with @KLIK_INSTALL_BINDIR@
# replaced by the programs' folder under the prefix in force, so the unit and
# the menu entry name /usr/bin in the package and <prefix>/bin elsewhere.
set(KLIK_INSTALL_BINDIR "${CMAKE_INSTALL_PREFIX}/${KLIK_BINDIR}")
get_filename_component(name "${KLIK_TEMPLATE}" NAME_WLE)
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${KLIK_DESTINATION}/${name}")
message(STATUS "Installing: ${target}")
configure_file("${KLIK_TEMPLATE}" "${target}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${target}")
