#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb, 1280x1024, 24 bits), optionally with a window
# manager and a notification area, and exits with the command's status.
#   with-desktop.sh [--wm] [--tray] command [arguments...]
# The server picks a free display number itself and reports it (-displayfd), so runs started
# at the same moment (ctest -j) never share a server, as they could when the number was
# guessed from the lock files beforehand. It runs with -noreset: otherwise it resets whenever
# its last client disconnects, and a program connecting at that moment fails.
# With --wm, matchbox-window-manager is started first and the command waits until it has
# claimed the screen (_NET_SUPPORTING_WM_CHECK on the root window). With --tray, trayer
# provides a notification area along the top of the screen; it comes up while the command
# starts, as a panel does at a login, so a test that needs it waits until the area owns its
# selection (_NET_SYSTEM_TRAY_S0). All of them are stopped afterwards.
set -euo pipefail

wm=0
tray=0
while [[ "${1:-}" == "--wm" || "${1:-}" == "--tray" ]]; do
    [[ "$1" == "--wm" ]] && wm=1
    [[ "$1" == "--tray" ]] && tray=1
    shift
done
if [[ $# -eq 0 ]]; then
    echo "usage: with-desktop.sh [--wm] [--tray] command [arguments...]" >&2
    exit 2
fi

server_pid=""
wm_pid=""
tray_pid=""
number_file=$(mktemp /tmp/velora-display-XXXXXX)
stop_all()
{
    for pid in $tray_pid $wm_pid $server_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    tray_pid=""
    wm_pid=""
    server_pid=""
    rm -f "$number_file"
}
trap stop_all EXIT

# The number arrives as one line once the server takes connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 200); do
    [[ $(wc -l <"$number_file") -ge 1 ]] && break
    if ! kill -0 "$server_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [[ $(wc -l <"$number_file") -lt 1 ]]; then
    echo "with-desktop.sh: the X server did not start" >&2
    exit 1
fi
export DISPLAY=":$(head -n 1 "$number_file")"

wm_ready()
{
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

if [[ $wm -eq 1 ]]; then
    # A window manager that could not connect at once (a server still starting under load)
    # is started again.
    ready=0
    for _ in 1 2 3; do
        # No key shortcuts: the window manager would otherwise take keys such as F11 for itself.
        matchbox-window-manager -use_titlebar yes -kbdconfig /dev/null >/dev/null 2>&1 &
        wm_pid=$!
        for _ in $(seq 50); do
            if wm_ready; then
                ready=1
                break
            fi
            kill -0 "$wm_pid" 2>/dev/null || break
            sleep 0.1
        done
        [[ $ready -eq 1 ]] && break
        kill "$wm_pid" 2>/dev/null || true
        wait "$wm_pid" 2>/dev/null || true
        wm_pid=""
    done
    if [[ $ready -ne 1 ]]; then
        echo "with-desktop.sh: the window manager did not come up" >&2
        exit 1
    fi
fi

if [[ $tray -eq 1 ]]; then
    # The whole width of the screen: matchbox makes a dock window at an edge that wide, and
    # a narrower trayer then moves itself, and the icons in it, off the screen.
    trayer --edge top --align right --widthtype percent --width 100 --heighttype pixel --height 32 \
        --SetDockType true --transparent false --tint 0xdddddd >/dev/null 2>&1 &
    tray_pid=$!
fi

status=0
"$@" || status=$?
stop_all
exit "$status"
