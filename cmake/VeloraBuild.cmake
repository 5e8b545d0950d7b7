# Shared build settings: warnings, sanitizers and the layout of the runnable suite folder.

# Every target links this for the project's warning set.
add_library(velora_warnings INTERFACE)
target_compile_options(velora_warnings INTERFACE
    -Wall -Wextra -Wshadow
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual>
    $<$<BOOL:${VELORA_WERROR}>:-Werror>)

if(VELORA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
if(VELORA_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# Linking with --enable-new-dtags makes the $ORIGIN search path a RUNPATH, so that
# LD_LIBRARY_PATH still comes first when a driver library is looked up by name.
add_link_options(-Wl,--enable-new-dtags)

# The runnable suite: programs, libraries, tools and data folders side by side.
set(VELORA_SUITE_DIR "${CMAKE_BINARY_DIR}/suite")
file(MAKE_DIRECTORY "${VELORA_SUITE_DIR}")

# velora_in_suite(<target> [SUBDIR <dir>] [INSTALL_SUBDIR <dir>])
# Puts the target's output into the suite folder (or a folder below it) and gives it the
# RUNPATH $ORIGIN, so that the folder runs wherever it is copied. The install puts it in the
# same place of the installed suite folder, or in INSTALL_SUBDIR of it when given.
function(velora_in_suite target)
    cmake_parse_arguments(ARG "" "SUBDIR;INSTALL_SUBDIR" "" ${ARGN})
    set(dir "${VELORA_SUITE_DIR}")
    if(ARG_SUBDIR)
        set(dir "${VELORA_SUITE_DIR}/${ARG_SUBDIR}")
    endif()
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY "${dir}"
        LIBRARY_OUTPUT_DIRECTORY "${dir}"
        BUILD_WITH_INSTALL_RPATH ON
        INSTALL_RPATH "$ORIGIN")
    set(destination "${VELORA_INSTALL_SUITE}")
    if(DEFINED ARG_INSTALL_SUBDIR)
        set(destination "${VELORA_INSTALL_SUITE}/${ARG_INSTALL_SUBDIR}")
    elseif(ARG_SUBDIR)
        set(destination "${VELORA_INSTALL_SUITE}/${ARG_SUBDIR}")
    endif()
    install(TARGETS ${target} RUNTIME DESTINATION "${destination}" LIBRARY DESTINATION "${destination}")
endfunction()

# Shared libraries export only what they mark with default visibility.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

# The suite's version for --version, from the project version: VeloraVersion.h.
configure_file("${CMAKE_CURRENT_LIST_DIR}/VeloraVersion.h.in" "${CMAKE_BINARY_DIR}/generated/VeloraVersion.h" @ONLY)
add_library(velora_version INTERFACE)
target_include_directories(velora_version INTERFACE "${CMAKE_BINARY_DIR}/generated")
