# The Debian package: the suite folder under /opt/velora, with the desktop entries in the
# desktop's menus. `make package` builds it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velora)
set(CPACK_PACKAGE_VENDOR "Velora")
set(CPACK_PACKAGE_CONTACT "Velora developers <velora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Suite for Bt848-family TV capture cards")
set(CPACK_PACKAGE_DESCRIPTION "The VeloraTuner library for TV viewers, the KavoRemote remote-control daemon, \
the VeloraConfig settings tool, the KavoShell full-screen media shell, and a virtual card to try them without \
hardware.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/velora)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time rather than linked: Qt's platform and SVG plugins, the fonts the dialogs
# and the shell are laid out for, and xdg-open for the shell's files.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, fonts-liberation, xdg-utils")
include(CPack)
