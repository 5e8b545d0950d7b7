#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a scratch root, and checks
# that it holds the suite folder under /opt/velora with the desktop entries, and that its
# programs run from there: velora-tune tunes the virtual card through the packaged library.
#   check-package.sh <build folder> [--sanitized]
# A sanitizer build's dlopen does not honour the programs' $ORIGIN search path; with
# --sanitized the unpacked folder is named in LD_LIBRARY_PATH instead.
set -euo pipefail
build=$1
sanitized=${2:-}
scratch=$(mktemp -d /tmp/velora-package-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/velora_*.deb)
dpkg-deb -x "$deb" "$scratch/root"
control=$(dpkg-deb -f "$deb" Package Depends)
grep -q '^Package: velora$' <<<"$control"
grep -q 'qt6-qpa-plugins' <<<"$control"

opt="$scratch/root/opt/velora"
for file in KavoRemote KavoShell VeloraConfig velora-tune velora-card velora-remote libVeloraTuner.so \
    libvelorahwio.so drivers/pci/libvelorahwio.so default.mac Tuners/Default.tun Cards/Generic.crd \
    include/VeloraTuner.h share/autostart/kavoremote.desktop velora-autostart; do
    [[ -e "$opt/$file" ]] || { echo "missing in the package: /opt/velora/$file"; exit 1; }
done
for name in kavoremote kavoshell veloraconfig; do
    entry="$scratch/root/usr/share/applications/velora-$name.desktop"
    grep -q "^Exec=/opt/velora/" "$entry" || { echo "bad or missing desktop entry $entry"; exit 1; }
    grep -q "^Icon=/opt/velora/share/icons/$name.svg" "$entry" || { echo "bad icon in $entry"; exit 1; }
done

# The unpacked folder runs where it lies: programs find their libraries beside them.
export VELORA_CARD="$scratch/card"
unset LD_LIBRARY_PATH
[[ "$sanitized" == --sanitized ]] && export LD_LIBRARY_PATH="$opt"
"$opt/velora-card" reset >/dev/null
(cd "$opt" && ./velora-tune --quiet --ini ./velora.ini --mhz 55.25 --expect-sync >/dev/null)
"$opt/velora-card" status | grep -q 'Tuner: *55.225 MHz'
echo "package ok: $(basename "$deb")"
