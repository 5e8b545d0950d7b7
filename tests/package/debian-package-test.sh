#!/usr/bin/env bash
# The Debian packages as a user and an administrator meet them (`make package-test`, as root,
# on a machine where the suite may be installed and purged):
#   - lintian finds no error and no warning that is not overridden with a reason;
#   - `apt-get install ./*.deb` installs them; every command on the PATH answers --help and
#     --version without a display, and has its manual page;
#   - the installed KavoRemote runs on the virtual card under Xvfb: one remote key starts
#     KavoShell, a user's first start copies the site's defaults, the log goes to the state
#     folder and the single-instance socket to the runtime folder;
#   - the driver alternative switches to the PCI driver and back; the PCI driver that takes
#     over when the virtual card is removed stays chosen when the virtual card comes back;
#   - an upgrade to a rebuilt package of a higher version keeps a change to /etc/velora;
#   - after a purge nothing of the suite is left outside the user's folders.
#   debian-package-test.sh <package build folder>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
folder=$(cd "${1:-build-package}" && pwd)
debs="$folder/debs"
commands=(kavoremote kavoshell veloraconfig velora-card velora-tune velora-remote velora-autostart)
virtual=/usr/lib/velora/drivers/virtual/libvelorahwio.so
pci=/usr/lib/velora/drivers/pci/libvelorahwio.so

# ---------------------------------------------------------------------------------------------
# The desktop session, run on a private X server (see the end of the script).
if [[ -n "${VELORA_PACKAGE_SESSION:-}" ]]; then
    home=$VELORA_PACKAGE_HOME
    export HOME=$home XDG_RUNTIME_DIR=$home/runtime VELORA_CARD=$home/card
    unset XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    failures=0
    fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
    wait_for() { # seconds, command...
        local limit=$(($1 * 10)); shift
        for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.1; done
        return 1
    }
    # Whole outputs are searched: with pipefail, grep -q leaving a pipe early fails its writer.
    armed() { grep -q 'receiver armed' <<<"$(velora-card status)"; }
    window() { grep -q "\"$1\":" <<<"$(xwininfo -root -tree 2>/dev/null | tr -d '\000')"; }
    no_window() { ! window "$1"; }

    velora-card reset >/dev/null
    # Started by its command name from a folder of its own, as from a terminal.
    (cd "$home" && exec kavoremote) 2>"$home/kavoremote.err" &
    remote=$!
    wait_for 20 armed || fail "the installed KavoRemote did not arm the virtual card's receiver"
    sleep 1
    # The user's first start copied the site's defaults (before KavoShell adds its LastDir).
    for file in velora.ini default.mac fav.dat; do
        cmp -s "/etc/velora/$file" "$home/.config/velora/$file" || fail "the site's $file was not copied for the user"
    done
    velora-card press FullScreen >/dev/null
    wait_for 15 window KavoShell || fail "FullScreen on the remote did not start KavoShell"
    sleep 1
    # The class of its window is the StartupWMClass of its desktop entry.
    class=$(sed -n 's/^StartupWMClass=//p' /usr/share/applications/kavoshell.desktop)
    grep -q "\"$class\"\$" <<<"$(xprop -name KavoShell WM_CLASS)" || fail "KavoShell's window class is not $class"
    # The shell takes the focus once its window is up; an Esc that came too early is sent again.
    closed=0
    for _ in 1 2 3; do
        velora-card press Esc >/dev/null
        if wait_for 5 no_window KavoShell; then closed=1; break; fi
    done
    [[ $closed -eq 1 ]] || fail "Esc on the remote did not close KavoShell"
    velora-card press 0x07 >/dev/null # a code the remote does not send: logged
    sleep 0.5

    # The log and the socket are where a desktop user looks for them.
    grep -q 'RK_MAKE(0x07, RK_UNKNOWN)' "$home/.local/state/velora/remote.log" ||
        fail "no remote.log in ~/.local/state/velora"
    [[ -n $(find "$XDG_RUNTIME_DIR" -type s -name '*KavoRemote*') ]] || fail "no single-instance socket in XDG_RUNTIME_DIR"
    kill -TERM "$remote"
    wait "$remote" || fail "KavoRemote did not end cleanly on SIGTERM"
    if [[ $failures -ne 0 ]]; then
        echo "--- KavoRemote's standard error:"
        cat "$home/kavoremote.err"
    fi
    exit "$failures"
fi

# ---------------------------------------------------------------------------------------------
if [[ $(id -u) -ne 0 ]]; then
    echo "debian-package-test.sh installs and purges packages: run it as root" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# Another apt run on the machine (CI steps, deps.sh) is waited for rather than failed on.
apt_get() { apt-get -o DPkg::Lock::Timeout=600 "$@"; }
step() { printf '\n== %s\n' "$*"; }
die() { echo "FAILED: $*" >&2; exit 1; }
scratch=$(mktemp -d /tmp/velora-package-test-XXXXXX)
packages=()
for deb in "$debs"/*.deb; do
    packages+=("$(dpkg-deb -f "$deb" Package)")
done
purge() { apt_get purge -y -qq "${packages[@]}" >/dev/null 2>&1 || true; }
cleanup() {
    purge
    rm -rf "$scratch"
}
trap cleanup EXIT

step "lintian"
lintian --fail-on error,warning "$debs"/*.changes

step "A rebuild of the packages with a higher version, for the upgrade"
version=$(dpkg-deb -f "$debs"/velora_*.deb Version)
upgrade_version="$version+rebuild1"
"$root/scripts/package.sh" "$folder" "$upgrade_version" >"$scratch/rebuild.log" 2>&1 ||
    { tail -20 "$scratch/rebuild.log"; die "the rebuild failed"; }
upgrade_debs="$folder/debs-$upgrade_version"

# Everything named after the suite where packages install and keep files, before and after.
suite_names() {
    find /etc /usr /var /opt /srv -xdev \( -path /var/tmp -o -path /var/cache/apt \) -prune -o \
        \( -iname '*velora*' -o -iname '*kavo*' \) -print 2>/dev/null | sort
}
purge
suite_names >"$scratch/before"

step "apt-get install ./*.deb"
(cd "$debs" && apt_get install -y -qq ./*.deb >"$scratch/install.log" 2>&1) ||
    { cat "$scratch/install.log"; die "apt-get install failed"; }
for package in "${packages[@]}"; do
    [[ $(dpkg-query -W -f='${Status}' "$package") == 'install ok installed' ]] || die "$package is not installed"
done
grep -q '/etc/velora/velora.ini' <<<"$(dpkg-query -W -f='${Conffiles}\n' velora)" || die "velora.ini is not a conffile"
[[ $(readlink -f /usr/lib/velora/libvelorahwio.so) == "$virtual" ]] || die "the virtual card is not the driver"
grep -q 'KERNEL=="uinput".*TAG+="uaccess"' /usr/lib/udev/rules.d/70-velora-uinput.rules ||
    die "the uinput rule is not where udev reads it"

step "--help, --version and the manual page of every command, without a display"
upstream=${version%-*}
for command in "${commands[@]}"; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$command" --version) || die "$command --version failed"
    [[ "$out" == *" $upstream" ]] || die "$command --version says '$out', not $upstream"
    help=$(env -u DISPLAY "$command" --help) || die "$command --help failed"
    grep -qi 'usage' <<<"$help" || die "$command --help shows no usage"
    status=0
    err=$(env -u DISPLAY "$command" --no-such-option 2>&1 >/dev/null) || status=$?
    [[ $status -eq 2 && $(wc -l <<<"$err") -eq 1 ]] || die "$command --no-such-option: status $status, '$err'"
    man -w "$command" >/dev/null || die "no manual page for $command"
    page=$(MANWIDTH=80 man "$command" 2>/dev/null) || die "the manual page of $command does not open"
    grep -q "^NAME" <<<"$page" || die "the manual page of $command has no NAME"
    echo "   $out"
done
status=0
err=$(env -u DISPLAY kavoremote 2>&1) || status=$?
[[ $status -eq 1 && $(wc -l <<<"$err") -eq 1 ]] || die "kavoremote without a display: status $status, '$err'"
echo "   without a display: $err"

# velora-autostart finds the autostart entry of the installed suite.
XDG_CONFIG_HOME="$scratch/autostart" velora-autostart on >/dev/null || die "velora-autostart on failed"
grep -qx 'Exec=kavoremote' "$scratch/autostart/autostart/kavoremote.desktop" || die "velora-autostart copied no entry"

step "The installed KavoRemote on the virtual card, under Xvfb"
mkdir -p "$scratch/home"
VELORA_PACKAGE_SESSION=1 VELORA_PACKAGE_HOME="$scratch/home" \
    "$root/tests/support/with-desktop.sh" --wm --tray "$0" "$folder" || die "the desktop session failed"
echo "   one remote key started KavoShell; the user's files are in ~/.config and ~/.local/state"

step "The driver alternative"
export VELORA_CARD="$scratch/card"
velora-card reset >/dev/null
velora-tune --quiet --ini /etc/velora/velora.ini --mhz 55.25 >/dev/null || die "velora-tune finds no virtual card"
update-alternatives --set velora-driver "$pci" >/dev/null
[[ $(readlink -f /usr/lib/velora/libvelorahwio.so) == "$pci" ]] || die "the PCI driver was not chosen"
# This machine has no Bt848 card: the PCI driver finds none where the virtual card was found.
if velora-tune --quiet --mhz 55.25 >/dev/null 2>&1; then die "the PCI driver was chosen but not loaded"; fi
update-alternatives --auto velora-driver >/dev/null
[[ $(readlink -f /usr/lib/velora/libvelorahwio.so) == "$virtual" ]] || die "auto did not choose the virtual card"
velora-tune --quiet --mhz 55.25 >/dev/null || die "velora-tune finds no virtual card after switching back"
# A real card in use keeps its driver when the virtual card's package comes (back).
apt_get remove -y -qq velora-virtual-card >/dev/null 2>&1
[[ $(readlink -f /usr/lib/velora/libvelorahwio.so) == "$pci" ]] || die "the PCI driver did not take over"
grep -qx 'Status: manual' <<<"$(update-alternatives --query velora-driver)" || die "the PCI driver was not kept by hand"
(cd "$debs" && apt_get install -y -qq ./velora-virtual-card_*.deb >"$scratch/reinstall.log" 2>&1) ||
    { cat "$scratch/reinstall.log"; die "reinstalling velora-virtual-card failed"; }
[[ $(readlink -f /usr/lib/velora/libvelorahwio.so) == "$pci" ]] || die "installing the virtual card replaced the PCI driver"
grep -q 'keep loading' "$scratch/reinstall.log" || die "installing the virtual card did not say which driver stays"
update-alternatives --auto velora-driver >/dev/null
echo "   switched to the PCI driver and back; installing the virtual card kept the PCI driver in use"

step "An upgrade keeps the site's change to /etc/velora/velora.ini"
printf '\n[KavoRemote]\nMouseSpeed=7\n' >>/etc/velora/velora.ini
changed=$(md5sum </etc/velora/velora.ini)
(cd "$upgrade_debs" && apt_get install -y -qq ./*.deb >"$scratch/upgrade.log" 2>&1) ||
    { cat "$scratch/upgrade.log"; die "the upgrade failed"; }
[[ $(dpkg-query -W -f='${Version}' velora) == "$upgrade_version" ]] || die "velora was not upgraded"
[[ $(md5sum </etc/velora/velora.ini) == "$changed" ]] || die "the upgrade lost the change to velora.ini"
[[ $(readlink -f /usr/lib/velora/libvelorahwio.so) == "$virtual" ]] || die "the upgrade changed the driver"
echo "   $version -> $upgrade_version, MouseSpeed=7 kept"

step "apt-get purge leaves nothing of the suite"
apt_get purge -y -qq "${packages[@]}" >/dev/null 2>&1 || die "the purge failed"
suite_names >"$scratch/after"
comm -13 "$scratch/before" "$scratch/after" >"$scratch/left"
if [[ -s "$scratch/left" ]]; then
    cat "$scratch/left"
    die "files of the suite are left after the purge"
fi
[[ ! -e /etc/velora && ! -e /usr/lib/velora ]] || die "/etc/velora or /usr/lib/velora is left"
[[ ! -e /usr/lib/udev/rules.d/70-velora-uinput.rules ]] || die "the uinput rule is left"
update-alternatives --query velora-driver >/dev/null 2>&1 && die "the velora-driver alternative is left"
echo
echo "package test ok: ${packages[*]}"
