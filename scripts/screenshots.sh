#!/usr/bin/env bash
# Makes the screenshots of the user guide (docs/images/) from a build's suite folder, on a
# private X server with a window manager.
#   scripts/screenshots.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)

if [[ -z "${VELORA_SHOTS_INNER:-}" ]]; then
    "$root/scripts/deps.sh" build docs
    export VELORA_SHOTS_INNER=1
    exec "$root/tests/support/with-desktop.sh" --wm "$0" "$build"
fi

images="$root/docs/images"
mkdir -p "$images"
scratch=$(mktemp -d /tmp/velora-shots-XXXXXX)
trap 'pkill -P $$ 2>/dev/null || true; rm -rf "$scratch"' EXIT
cp -r "$build/suite" "$scratch/suite"
export VELORA_CARD="$scratch/card" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
suite="$scratch/suite"
"$suite/velora-card" reset >/dev/null

# Captures one top-level window by its title.
capture() { # title file
    local id
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [[ -n "$id" ]] && break
        sleep 0.1
    done
    [[ -n "$id" ]] || { echo "no window '$1'" >&2; return 1; }
    sleep 0.5
    xwd -id "$id" -silent | convert xwd:- "$images/$2"
    echo "docs/images/$2"
}

# KavoRemote's options window: without a notification area it opens after a few seconds
# (the time a panel is given to come up) and stays open; its notice is closed first.
"$suite/KavoRemote" 2>/dev/null &
sleep 7
xdotool search --name "^KavoRemote\$" >/dev/null && xdotool key Return || true
capture KavoRemote kavoremote-options.png
kill %1 2>/dev/null || true
wait 2>/dev/null || true

"$suite/VeloraConfig" 2>/dev/null &
capture "Velora Configuration" veloraconfig.png
kill %1 2>/dev/null || true
wait 2>/dev/null || true

(cd "$suite" && "$suite/KavoShell" 2>/dev/null &)
sleep 1
xdotool key Down
capture KavoShell kavoshell.png
xdotool key Escape
sleep 0.5

"$suite/velora-remote" 2>/dev/null &
for window in "Velora Remote" "Virtual remote" "velora-remote"; do
    capture "$window" virtual-remote.png 2>/dev/null && break
done
kill %1 2>/dev/null || true
wait 2>/dev/null || true
