# Where `cmake --install` puts the suite.
#
# By default the install is one relocatable suite folder, like the build's suite/ folder: the
# prefix holds the programs, the libraries, the tools and the data folders side by side, with
# the desktop entries and icons below <prefix>/share.
#
# With VELORA_SYSTEM_INSTALL (the Debian package) the suite folder keeps that design in the
# places a distribution expects:
#   <prefix>/lib/velora/            the programs, libVeloraTuner.so and the driver libraries
#                                   (drivers/virtual, drivers/pci); libvelorahwio.so there is
#                                   the link that update-alternatives manages
#   <prefix>/share/velora/          the data folders (Tuners, Cards, ChannelTables, Languages),
#                                   linked from the suite folder
#   /etc/velora/                    the site's defaults for new users: velora.ini, default.mac,
#                                   fav.dat; the suite folder's link "site" points there and
#                                   tells the programs that they run from a system-wide install
#   <prefix>/bin/                   the commands, links into the suite folder
#   <prefix>/share/applications, <prefix>/share/icons/hicolor, <prefix>/share/man/man1
#   <prefix>/include/velora, <libdir>/pkgconfig/veloratuner.pc   for viewer authors
include(GNUInstallDirs)

if(VELORA_SYSTEM_INSTALL)
    set(VELORA_INSTALL_SUITE lib/velora)
    set(VELORA_INSTALL_DATA "${CMAKE_INSTALL_DATADIR}/velora")
    set(VELORA_INSTALL_SITE "${CMAKE_INSTALL_FULL_SYSCONFDIR}/velora")
    set(VELORA_INSTALL_INCLUDE "${CMAKE_INSTALL_INCLUDEDIR}/velora")
    set(VELORA_INSTALL_VIRTUAL_DRIVER drivers/virtual)
    set(VELORA_AUTOSTART_FOLDER "${VELORA_INSTALL_DATA}/autostart")
else()
    set(VELORA_INSTALL_SUITE .)
    set(VELORA_INSTALL_DATA .)
    set(VELORA_INSTALL_SITE .)
    set(VELORA_INSTALL_INCLUDE include)
    set(VELORA_INSTALL_VIRTUAL_DRIVER .)
    set(VELORA_AUTOSTART_FOLDER share/autostart)
endif()

# The commands a system install puts on the PATH, and the suite-folder file each one runs.
set(VELORA_COMMANDS
    kavoremote:KavoRemote
    kavoshell:KavoShell
    veloraconfig:VeloraConfig
    velora-card:velora-card
    velora-tune:velora-tune
    velora-remote:velora-remote
    velora-autostart:velora-autostart)

# velora_install_link(<link> <target>)
# Installs a symbolic link <prefix>/<link> that points at <target> (relative to the link's
# folder, or absolute).
function(velora_install_link link target)
    install(CODE "
        set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${link}\")
        get_filename_component(folder \"\${link}\" DIRECTORY)
        file(MAKE_DIRECTORY \"\${folder}\")
        message(STATUS \"Installing: \${link} -> ${target}\")
        file(CREATE_LINK \"${target}\" \"\${link}\" SYMBOLIC)")
endfunction()

if(VELORA_SYSTEM_INSTALL)
    foreach(pair IN LISTS VELORA_COMMANDS)
        string(REPLACE ":" ";" pair "${pair}")
        list(GET pair 0 command)
        list(GET pair 1 file)
        velora_install_link("${CMAKE_INSTALL_BINDIR}/${command}" "../${VELORA_INSTALL_SUITE}/${file}")
    endforeach()
    velora_install_link("${VELORA_INSTALL_SUITE}/site" "${VELORA_INSTALL_SITE}")
endif()
