#!/usr/bin/env bash
# `make run`: the suite at work on the virtual card.
#
# With a desktop (DISPLAY set) it resets the virtual card, starts KavoRemote from the suite
# folder and opens the virtual remote: press its keys and watch the program in front react.
# Closing the virtual remote stops KavoRemote again.
#
# Without a desktop it runs a tour by itself on a private X server: a remote key opens the
# media shell, more keys move its highlight and enter a folder, the tuner library tunes the
# virtual tuner with the shipped velora.ini while KavoRemote watches the receiver. It prints what happened at each step, saves screenshots into <build>/tour/,
# and exits with status 0 only when every step did what it should.
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
suite="$build/suite"
root=$(cd "$(dirname "$0")/.." && pwd)
# The tour is about the virtual card: its driver library comes first whatever else is
# installed (and also in sanitizer builds, whose dlopen ignores the programs' own folder).
export LD_LIBRARY_PATH="$suite${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

if [[ -n "${DISPLAY:-}" && -z "${VELORA_TOUR_AUTO:-}" ]]; then
    cd "$suite"
    ./velora-card reset
    started=""
    if ! pgrep -u "$(id -u)" -x KavoRemote >/dev/null; then
        ./KavoRemote &
        started=$!
    fi
    cat <<MSG

KavoRemote runs on the virtual card (its icon is in the notification area), and the
virtual remote is open. Its keys reach the program in front, as a real remote's would:
  - FullScreen opens KavoShell, the full-screen media shell; the virtual remote stays
    above it, so go on clicking its keys;
  - Down, Inc and Dec move its highlight, Enter opens, Esc closes it;
  - MouseMode switches to the mouse: the digits move the pointer, 5 clicks, 0 right-clicks;
  - right-click the KavoRemote icon for its menu and options.
What each key does is set in $suite/default.mac.
Close the virtual remote to stop.
MSG
    ./velora-remote
    if [[ -n "$started" ]]; then
        kill "$started" 2>/dev/null
        wait "$started" 2>/dev/null
    fi
    exit 0
fi

# Without a desktop: run this script again on a private X server with a window manager and a
# notification area.
if [[ -z "${VELORA_TOUR_INNER:-}" ]]; then
    export VELORA_TOUR_INNER=1 VELORA_TOUR_AUTO=1
    exec "$root/tests/support/with-desktop.sh" --wm --tray "$0" "$build"
fi

tour="$build/tour"
rm -rf "$tour"
mkdir -p "$tour/home"
# A private card, settings folder and runtime folder: the tour leaves the user's alone.
export VELORA_CARD="$tour/card"
export XDG_CONFIG_HOME="$tour/home/config"
export XDG_RUNTIME_DIR="$tour/home/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
failures=0
step=0

say() { printf '\n== %s\n' "$*"; }
ok() { printf '   ok: %s\n' "$*"; }
fail() { printf '   FAILED: %s\n' "$*"; failures=$((failures + 1)); }
press() { "$suite/velora-card" press "$1" >/dev/null && printf '   key %s pressed on the virtual card\n' "$1"; sleep 0.6; }

window_id() { xwininfo -root -tree 2>/dev/null | grep -a "\"$1\":" | head -1 | awk '{print $1}'; }

shot() {
    step=$((step + 1))
    local file
    file=$(printf '%s/%02d-%s.png' "$tour" "$step" "$1")
    local id
    id=$(window_id "$2")
    if [[ -n "$id" ]]; then xwd -id "$id" -silent; else xwd -root -silent; fi | convert xwd:- "$file" 2>/dev/null
    printf '   screenshot %s\n' "${file#$build/}"
    last_shot="$file"
}

# The top of the shell's highlighted band (blue, from x = 68 to W - 100 on a 768-line screen;
# on this 1024-line one every length is a third larger, so from 91 to W - 133), or nothing.
band_top() {
    convert "$1" -crop 1x976+1100+48 +repage txt:- 2>/dev/null | awk -F'[,:]' '/#0000FF/ { print $2 + 48; exit }'
}

wait_for() { # seconds, command...
    local limit=$(( $1 * 10 )); shift
    for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.1; done
    return 1
}
armed() { "$suite/velora-card" status | grep -q 'receiver armed'; }
disarmed() { "$suite/velora-card" status | grep -q 'GPIO low byte 0x00'; }
shell_up() { [[ -n "$(window_id KavoShell)" ]]; }
shell_gone() { [[ -z "$(window_id KavoShell)" ]]; }

say "Reset the virtual card: a Bt878 with a tuner, state in $VELORA_CARD"
"$suite/velora-card" reset

say "Start KavoRemote from the suite folder"
"$suite/KavoRemote" 2>"$tour/kavoremote.err" &
remote=$!
if wait_for 15 armed; then ok "KavoRemote armed the receiver (low byte of GPIO_DATA 0xFF) and samples it every 10 ms"; else fail "the receiver was never armed"; fi
sleep 1

say "Press FullScreen: default.mac binds it to &KavoShell&, so KavoRemote starts the media shell"
press FullScreen
if wait_for 10 shell_up; then
    sleep 1
    shot shell KavoShell
    first=$(band_top "$last_shot")
    if [[ -n "$first" ]]; then ok "KavoShell fills the screen with the suite folder; the highlight is at y = $first"; else fail "no highlight in the shell"; fi
else
    fail "KavoShell did not start"
fi

say "Press Down: KavoRemote sends the Down arrow to the shell in front"
press Down
shot down KavoShell
second=$(band_top "$last_shot")
if [[ -n "${first:-}" && -n "$second" && "$second" -gt "$first" ]]; then ok "the highlight moved down one row, to y = $second"; else fail "the highlight did not move (${first:-?} -> ${second:-?})"; fi

say "Press Enter: the shell opens the highlighted folder"
press Enter
shot enter KavoShell
third=$(band_top "$last_shot")
if [[ "$third" == "${first:-x}" ]]; then ok "a new folder is listed with the highlight back on the first row"; else fail "the folder was not entered (highlight at ${third:-?})"; fi

say "Press Esc: the shell closes and remembers the folder it showed"
press Esc
if wait_for 5 shell_gone; then
    lastdir=$(grep -a '^LastDir=' "$XDG_CONFIG_HOME/velora/velora.ini" 2>/dev/null | cut -d= -f2-)
    if [[ -n "$lastdir" ]]; then ok "KavoShell closed; LastDir=$lastdir in $XDG_CONFIG_HOME/velora/velora.ini"; else fail "no LastDir was saved"; fi
else
    fail "KavoShell did not close"
fi

# The settings as the suite ships them, not the suite folder's copy, which a user may have changed.
shipped="$root/data/velora.ini"
card=$(sed -n 's/^Card=//p' "$shipped" | tr -d '\r')
say "While KavoRemote runs, a viewer tunes to channel E3 (55.25 MHz) with the shipped settings (card $card)"
log_lines() { cat "$suite/remote.log" 2>/dev/null | wc -l; }
receiver_byte() { "$suite/velora-card" status | sed -n 's/^Remote: *GPIO low byte \(0x[0-9A-F]*\).*/\1/p'; }
logged=$(log_lines)
before=$(receiver_byte)
(cd "$suite" && ./velora-tune --quiet --ini "$shipped" --mhz 55.25 --wait-sync 300) | sed 's/^/   /'
status=$("$suite/velora-card" status)
if grep -q 'Tuner: *55.225 MHz' <<<"$status"; then ok "the virtual tuner got the divider and band bytes: 55.225 MHz"; else fail "the tuner was not tuned"; fi
if grep -q 'locked' <<<"$status"; then ok "the card reports a locked picture"; else fail "no picture lock"; fi
if grep -q 'Audio bits: *GPIO 8-11 0x1,' <<<"$status"; then ok "the tuner's sound is on, switched with GPIO bits 8 to 11"; else fail "the tuner's sound was not switched on GPIO 8 to 11"; fi
sleep 0.5
after=$(receiver_byte)
if [[ -n "$before" && "$after" == "$before" && $(log_lines) -eq $logged ]]; then
    ok "KavoRemote took no key from the tuning: the receiver's byte stayed $before, remote.log got no line"
else
    fail "the tuning reached the receiver's byte (${before:-?} -> ${after:-?}): KavoRemote saw a key ($(tail -n +$((logged + 1)) "$suite/remote.log" 2>/dev/null | head -3 | tr '\n' ' '))"
fi

say "Stop KavoRemote (SIGTERM): it disarms the receiver and lets go of the card"
kill -TERM "$remote"
wait "$remote"
if wait_for 5 disarmed; then ok "the receiver is disarmed (low byte of GPIO_DATA 0x00)"; else fail "the receiver is still armed"; fi

echo
if [[ $failures -eq 0 ]]; then
    echo "Tour done: every step did what it should. Screenshots are in ${tour#$root/}/."
    exit 0
fi
echo "Tour done with $failures failed step(s); see above and ${tour#$root/}/."
exit 1
