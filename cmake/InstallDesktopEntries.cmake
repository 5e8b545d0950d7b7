# Runs at install time: writes the desktop entries. A relocatable suite folder's entries name
# its programs and icons by their installed paths and go into <prefix>/share/applications; a
# system install's name the commands on the PATH and the icons of the icon theme. The autostart
# entry goes into VELORA_AUTOSTART_FOLDER, from where `velora-autostart on` copies it for a
# user. StartupWMClass in each entry is the class that the program gives its windows.
set(DIR "${CMAKE_INSTALL_PREFIX}")
set(root "$ENV{DESTDIR}")

function(write_entry template target program command icon)
    if(VELORA_SYSTEM_INSTALL)
        set(COMMAND "${command}")
        set(ICON "${icon}")
    else()
        set(COMMAND "${DIR}/${program}")
        set(ICON "${DIR}/share/icons/${icon}.svg")
    endif()
    message(STATUS "Installing: ${target}")
    configure_file("${VELORA_DESKTOP_SOURCE}/${template}" "${target}" @ONLY)
endfunction()

if(VELORA_SYSTEM_INSTALL)
    set(applications "${root}${DIR}/${VELORA_APPLICATIONS_FOLDER}")
else()
    set(applications "${root}${DIR}/share/applications")
endif()
foreach(entry IN ITEMS kavoremote:KavoRemote kavoshell:KavoShell veloraconfig:VeloraConfig velora-remote:velora-remote)
    string(REPLACE ":" ";" entry "${entry}")
    list(GET entry 0 command)
    list(GET entry 1 program)
    write_entry("${command}.desktop.in" "${applications}/${command}.desktop" "${program}" "${command}" "${command}")
endforeach()
write_entry(kavoremote-autostart.desktop.in "${root}${DIR}/${VELORA_AUTOSTART_FOLDER}/kavoremote.desktop"
            KavoRemote kavoremote kavoremote)
