#!/usr/bin/env bash
# Installs the Debian packages that a step of the build needs, if any are missing.
#   scripts/deps.sh build    compilers, CMake, Ninja, git and clang-format, GoogleTest, X11, the test desktop,
#                            Wayland (client library, protocols, xkbcommon, Qt's platform plugin, sway and grim
#                            for the headless test desktop), LIRC (lircd, irsend and irxevent, for KavoRemote's LIRC tests and benchmarks)
#                            and D-Bus (the library, and a bus daemon for the tests of the real-time policy service)
#   scripts/deps.sh fuzz     clang with libFuzzer
#   scripts/deps.sh package  the Debian packaging tools, and what the package test runs
#   scripts/deps.sh docs     what the screenshot script drives the desktop with
# As root it runs apt-get itself; otherwise it prints the command to run and fails.
set -euo pipefail

packages=()
for group in "$@"; do
    case "$group" in
        build) packages+=(g++ make cmake ninja-build git clang-format pkg-config libgtest-dev binutils dpkg-dev file
                          libx11-dev libxtst-dev libxi-dev libxfixes-dev libxrandr-dev qt6-base-dev libfontconfig-dev qt6-svg-dev qt6-tools-dev qt6-l10n-tools qt6-wayland fonts-liberation
                          xvfb xauth matchbox-window-manager trayer x11-utils x11-apps imagemagick
                          libwayland-dev wayland-protocols libxkbcommon-dev qt6-wayland sway grim
                          lirc lirc-x libdbus-1-dev dbus-daemon) ;;
        fuzz) packages+=(clang libclang-rt-dev) ;;
        package) packages+=(dpkg-dev file debhelper help2man lintian man-db) ;;
        docs) packages+=(xdotool) ;;
        *) echo "deps.sh: unknown group '$group'" >&2; exit 2 ;;
    esac
done

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

install=(apt-get install -y --no-install-recommends "${missing[@]}")
if [[ $(id -u) -ne 0 ]]; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Install them with:" >&2
    echo "  sudo apt-get update && sudo DEBIAN_FRONTEND=noninteractive ${install[*]}" >&2
    exit 1
fi
# On a machine run by systemd, the lirc package enables its lircd on /run/lirc/lircd; where no
# init system runs services (a container, CI) none starts. The tests start lircd of their own on
# private sockets and never use the system's.
echo "Installing missing Debian packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
"${install[@]}"
