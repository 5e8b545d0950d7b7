# Client code of Wayland protocols from their XML files, made by wayland-scanner.
find_package(PkgConfig REQUIRED)
# The imported targets are global: the platform library, its tests and the test client use them.
if(NOT TARGET PkgConfig::WAYLAND_CLIENT)
    pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET GLOBAL wayland-client)
    pkg_check_modules(XKBCOMMON REQUIRED IMPORTED_TARGET GLOBAL xkbcommon)
endif()
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)

# velora_wayland_protocol(<target> <protocol xml>): the client header and glue code of one
# protocol, built into the target; the header's folder is on the target's include path.
function(velora_wayland_protocol target xml)
    get_filename_component(base "${xml}" NAME_WE)
    set(header "${CMAKE_CURRENT_BINARY_DIR}/${base}-client-protocol.h")
    set(code "${CMAKE_CURRENT_BINARY_DIR}/${base}-protocol.c")
    add_custom_command(OUTPUT "${header}"
        COMMAND "${WAYLAND_SCANNER}" client-header "${xml}" "${header}"
        DEPENDS "${xml}" VERBATIM)
    add_custom_command(OUTPUT "${code}"
        COMMAND "${WAYLAND_SCANNER}" private-code "${xml}" "${code}"
        DEPENDS "${xml}" VERBATIM)
    target_sources(${target} PRIVATE "${header}" "${code}")
    target_include_directories(${target} PRIVATE "${CMAKE_CURRENT_BINARY_DIR}")
endfunction()
