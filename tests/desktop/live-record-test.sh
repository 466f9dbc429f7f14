#!/usr/bin/env bash
# A session played in a real window (on a virtual X server, keys sent by xdotool) is
# recorded, and its recording replays headless to the very same frames, the final score
# drawn in the last one included.
# live-record-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "no Xvfb or xdotool"; exit 77; }
tmp=$(mktemp -d)
xvfb= game=
cleanup() {
    [ -n "$game" ] && kill "$game" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The server picks a free display and says which.
exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -1 "$tmp/display") SDL_AUDIODRIVER=dummy

cd "$tmp"
# The X and GL libraries keep memory to the end on purpose; a sanitizer build would call
# that a leak. The headless replay below is still checked for leaks.
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
    "$build/kelvane" run --record rec.txt --frames live "$build/demo.kgame" 2>live.err &
game=$!
window=$(timeout 20 xdotool search --sync --class '^kelvane$' | head -1) || fail "no game window: $(cat live.err)"
xdotool windowfocus --sync "$window" 2>/dev/null || true
press() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
press Right 1.2
press Down 0.6
press Left 0.4
sleep 0.3
xdotool key Escape
for _ in $(seq 200); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
wait "$game" || fail "the windowed game failed: $(cat live.err)"
game=

grep -q '^[0-9]* key-down 39$' rec.txt || fail "no Right key recorded: $(cat rec.txt)"
grep -q '^[0-9]* key-down 27$' rec.txt || fail "no Escape recorded"
"$build/kelvane" run --headless --replay rec.txt --frames replay "$build/demo.kgame" ||
    fail "the replay failed"
live_frames=$(ls live)
replay_frames=$(ls replay)
[ -n "$live_frames" ] || fail "the window showed no frames"
[ "$live_frames" = "$replay_frames" ] || fail "the replay showed other steps"
for f in $live_frames; do cmp -s "live/$f" "replay/$f" || fail "frame $f differs"; done
first=$(ls live | head -1) last=$(ls live | tail -1)
! cmp -s "live/$first" "live/$last" || fail "the session changed nothing on the screen"
frames=$(ls live | wc -l)

# A box the player answers in the window: the answer is recorded, and the replay, given no
# answers file, types the same name.
mkdir asks
cat >asks/kelvane-project.json <<'JSON'
{"objects": [{"name": "o", "events": [
  {"type": "create", "number": 0, "actions": [{"function": 34, "arguments": ["global.n = 0;"]}]},
  {"type": "step", "number": 0, "actions": [{"function": 34, "arguments": [
    "global.n += 1; if (global.n == 10) { global.s = get_string(\"Name?\", \"\") + \"|\" + string(keyboard_key); file_open_write(\"out.txt\"); file_write_string(global.s); file_close(); game_end(); }"]}]}]}],
 "rooms": [{"name": "r", "speed": 30, "instances": [{"object": "o"}]}]}
JSON
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
    "$build/kelvane" run --record asks.txt asks 2>asks.err &
game=$!
window=$(timeout 20 xdotool search --sync --class '^kelvane$' | head -1) || fail "no game window: $(cat asks.err)"
xdotool windowfocus --sync "$window" 2>/dev/null || true
sleep 1.5
xdotool type --delay 80 "Kim"
xdotool key Return
for _ in $(seq 200); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
wait "$game" || fail "the windowed game failed: $(cat asks.err)"
game=
[ "$(cat asks/out.txt)" = "Kim|0" ] || fail "the box gave $(cat asks/out.txt)"
grep -q '^[0-9]* answer Kim$' asks.txt || fail "no answer recorded: $(cat asks.txt)"
! grep -q 'key-down 13$' asks.txt || fail "the box's Enter was recorded as game input"
rm asks/out.txt
"$build/kelvane" run --headless --replay asks.txt asks || fail "the replay of the box failed"
[ "$(cat asks/out.txt)" = "Kim|0" ] || fail "the replayed box gave $(cat asks/out.txt)"
echo "ok: $frames frames alike; the box's answer replayed"
