#!/usr/bin/env bash
# The game window on a real X server (Xvfb), without and with a window manager: the caption
# in UTF-8, full screen that covers the screen (F4 and --fullscreen), whole-pixel --scale,
# a resized window keeping its picture, and the choice remembered per game.
# window-test.sh BUILD_DIR [--inner]
set -euo pipefail
build=$(cd "$1" && pwd)
if [ "${2:-}" != --inner ]; then
    command -v xvfb-run >/dev/null || { echo "xvfb-run missing: skipped"; exit 0; }
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" --inner
fi
tmp=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export XDG_DATA_HOME=$tmp/data
game=$build/demo.kgame

# Starts the demo with the given options and waits for its window; sets $win.
start() {
    "$build/kelvane" run "$@" "$game" >"$tmp/out" 2>&1 &
    game_pid=$!
    pids+=("$game_pid")
    win=""
    for _ in $(seq 100); do
        win=$(xwininfo -root -tree | grep -o '0x[0-9a-f]* "Kelvane demo' | head -1 | cut -d' ' -f1 || true)
        [ -n "$win" ] && break
        sleep 0.1
    done
    [ -n "$win" ] || fail "no game window ($*): $(cat "$tmp/out") (X server on $DISPLAY: $(xwininfo -root 2>&1 | head -2 | tr '\n' ' '))"
    sleep 0.5
}
# Width x height +x +y of the window (a pattern, as window managers place windows their way) as the X server has it (decorations aside).
geometry() {
    xwininfo -id "$win" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{print w "x" h "+" x "+" y}'
}
wait_geometry() {
    for _ in $(seq 50); do
        [[ "$(geometry)" =~ ^$1$ ]] && return 0
        sleep 0.1
    done
    fail "$2: window $(geometry), expected $1"
}
stop() {
    xdotool windowfocus "$win" 2>/dev/null || true
    xdotool key --window "$win" Escape
    wait "$game_pid" || fail "the game ended with status $?"
}

run_checks() {
    local wm=$1
    rm -rf "$XDG_DATA_HOME"
    start
    xprop -id "$win" _NET_WM_NAME | grep -q '"Kelvane demo – collect the coins' ||
        fail "$wm: caption $(xprop -id "$win" _NET_WM_NAME)"
    wait_geometry "640x480[+-][0-9]+[+-][0-9]+" "$wm: window at start"
    xdotool windowfocus "$win" 2>/dev/null || true
    xdotool key --window "$win" F4
    wait_geometry "1024x768\\+0\\+0" "$wm: F4 to full screen"
    xdotool key --window "$win" F4
    wait_geometry "640x480[+-][0-9]+[+-][0-9]+" "$wm: F4 back to the window"
    xdotool key --window "$win" F4
    wait_geometry "1024x768\\+0\\+0" "$wm: F4 to full screen again"
    stop
    grep -q '"FullScreen" = dword:1' "$XDG_DATA_HOME/kelvane/registry.txt" ||
        fail "$wm: full screen not remembered"
    start # remembered: full screen
    wait_geometry "1024x768\\+0\\+0" "$wm: remembered full screen"
    stop
    start --window --scale 2 # 1280 x 960 does not fit: the window manager may cut it down
    if [ "$wm" = "no window manager" ]; then wait_geometry "1280x960[+-].*" "$wm: --scale 2"; fi
    stop
    grep -q '"Zoom" = dword:2' "$XDG_DATA_HOME/kelvane/registry.txt" || fail "$wm: zoom not remembered"
}

run_checks "no window manager"
if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
    run_checks "openbox"
fi
echo "window checks passed"
