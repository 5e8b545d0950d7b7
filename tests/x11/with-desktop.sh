#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb, 1280x1024, 24 bits), optionally with a window
# manager, and exits with the command's status.
#   with-desktop.sh [--wm] command [arguments...]
# With --wm, matchbox-window-manager is started first and the command waits until it has
# claimed the screen (_NET_SUPPORTING_WM_CHECK on the root window); it is stopped afterwards.
set -euo pipefail

wm=()
if [[ "${1:-}" == "--wm" ]]; then
    wm=(--wm)
    shift
fi
if [[ $# -eq 0 ]]; then
    echo "usage: with-desktop.sh [--wm] command [arguments...]" >&2
    exit 2
fi

# First pass: start the X server and run this script again inside it.
if [[ -z "${VELORA_DESKTOP_INNER:-}" ]]; then
    exec xvfb-run -a -s '-screen 0 1280x1024x24' env VELORA_DESKTOP_INNER=1 "$0" "${wm[@]}" "$@"
fi
unset VELORA_DESKTOP_INNER

wm_pid=""
stop_wm()
{
    if [[ -n "$wm_pid" ]]; then
        kill "$wm_pid" 2>/dev/null || true
        wait "$wm_pid" 2>/dev/null || true
        wm_pid=""
    fi
}
trap stop_wm EXIT

wm_ready()
{
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

if [[ ${#wm[@]} -gt 0 ]]; then
    # Xvfb under load sometimes resets a connection made just as another closes; a window
    # manager that lost its connection that way at start is started again.
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
        stop_wm
    done
    if [[ $ready -ne 1 ]]; then
        echo "with-desktop.sh: the window manager did not come up" >&2
        exit 1
    fi
fi

status=0
"$@" || status=$?
stop_wm
exit "$status"
