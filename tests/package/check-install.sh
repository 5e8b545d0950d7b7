#!/usr/bin/env bash
# Installs a build folder with `cmake --install` into a scratch folder and checks the
# relocatable suite folder it lays out: the programs, libraries, drivers and data side by side,
# the desktop entries naming the installed programs and the classes of their windows, the
# autostart switch, and that the programs run from there: velora-tune tunes the virtual card
# through the installed library.
#   check-install.sh <build folder> <project version> [--sanitized]
# A sanitizer build's dlopen does not honour the programs' $ORIGIN search path; with
# --sanitized the installed folder is named in LD_LIBRARY_PATH instead.
set -euo pipefail
build=$1
version=$2
sanitized=${3:-}
scratch=$(mktemp -d /tmp/velora-install-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

prefix="$scratch/velora"
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in KavoRemote KavoShell VeloraConfig velora-tune velora-card velora-remote velora-autostart \
    libVeloraTuner.so libvelorahwio.so drivers/pci/libvelorahwio.so default.mac velora.ini fav.dat \
    Tuners/Default.tun Cards/Generic.crd include/VeloraTuner.h include/DriverApi.h \
    share/icons/kavoremote.svg share/autostart/kavoremote.desktop translations/velora_de.qm \
    share/udev/70-velora-uinput.rules; do
    [[ -e "$prefix/$file" ]] || fail "missing in the installed suite folder: $file"
done
# A relocatable suite folder is not a system-wide install.
[[ ! -e "$prefix/site" ]] || fail "the relocatable suite folder is marked as a system-wide install"

for entry in kavoremote:KavoRemote:KavoRemote kavoshell:KavoShell:KAVOSHELL veloraconfig:VeloraConfig:VeloraConfig \
    velora-remote:velora-remote:velora-remote; do
    IFS=: read -r name program class <<<"$entry"
    file="$prefix/share/applications/$name.desktop"
    grep -qx "Exec=$prefix/$program" "$file" || fail "bad Exec in $file"
    grep -qx "Icon=$prefix/share/icons/$name.svg" "$file" || fail "bad Icon in $file"
    grep -qx "StartupWMClass=$class" "$file" || fail "bad StartupWMClass in $file"
done

# velora-autostart copies the entry for the user and says so; its version is the project's.
export XDG_CONFIG_HOME="$scratch/config"
[[ $("$prefix/velora-autostart" --version) == "velora-autostart $version" ]] || fail "velora-autostart --version"
"$prefix/velora-autostart" on >/dev/null
cmp -s "$prefix/share/autostart/kavoremote.desktop" "$XDG_CONFIG_HOME/autostart/kavoremote.desktop" ||
    fail "velora-autostart on did not copy the entry"
[[ $("$prefix/velora-autostart" status) == on:* ]] || fail "velora-autostart status"
"$prefix/velora-autostart" off >/dev/null
[[ $("$prefix/velora-autostart" status) == off ]] || fail "velora-autostart off"

# The installed folder runs where it lies: programs find their libraries beside them.
export VELORA_CARD="$scratch/card"
unset LD_LIBRARY_PATH
[[ "$sanitized" == --sanitized ]] && export LD_LIBRARY_PATH="$prefix"
"$prefix/velora-card" reset >/dev/null
(cd "$prefix" && ./velora-tune --quiet --ini ./velora.ini --mhz 55.25 --expect-sync >/dev/null)
"$prefix/velora-card" status | grep -q 'Tuner: *55.225 MHz' || fail "the installed velora-tune did not tune"
echo "install ok: $prefix"
