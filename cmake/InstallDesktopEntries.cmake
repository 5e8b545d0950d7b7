# Runs at install time: writes the desktop entries with the programs' installed paths. They go
# into <prefix>/share/applications and, for an install under /opt (the Debian package), into
# the desktop's menus in /usr/share/applications as well. The autostart entry goes into
# <prefix>/share/autostart, from where `velora-autostart on` copies it for a user.
set(DIR "${CMAKE_INSTALL_PREFIX}")
set(ICONS "${DIR}/share/icons")
set(root "$ENV{DESTDIR}")
foreach(name IN ITEMS veloraconfig kavoshell kavoremote)
    set(entry "${root}${DIR}/share/applications/${name}.desktop")
    message(STATUS "Installing: ${entry}")
    configure_file("${VELORA_DESKTOP_SOURCE}/${name}.desktop.in" "${entry}" @ONLY)
    if(DIR MATCHES "^/opt/")
        set(menu "${root}/usr/share/applications/velora-${name}.desktop")
        message(STATUS "Installing: ${menu}")
        configure_file("${VELORA_DESKTOP_SOURCE}/${name}.desktop.in" "${menu}" @ONLY)
    endif()
endforeach()
set(autostart "${root}${DIR}/share/autostart/kavoremote.desktop")
message(STATUS "Installing: ${autostart}")
configure_file("${VELORA_DESKTOP_SOURCE}/kavoremote-autostart.desktop.in" "${autostart}" @ONLY)
