#!/usr/bin/env bash
# Peak memory (VmHWM) of the game from its start through a few seconds on the board, against a
# bare SDL2 + OpenGL program on the same driver; medians over REPS runs (default 3).
#   xvfb-run -a -s "-screen 0 1280x1024x24" bench/memory/peak_memory.sh BUILD_DIR
BUILD=$(cd "${1:?usage: peak_memory.sh BUILD_DIR}" && pwd)
REPS=${REPS:-3}
EXE="$BUILD/Morvane/bin/morvane"
PROBE="$BUILD/tests/e2e/xprobe"
BARE="$BUILD/bench/memory/bare_gl"
for f in "$EXE" "$PROBE" "$BARE"; do [ -x "$f" ] || { echo "missing $f" >&2; exit 1; }; done
. "$(cd "$(dirname "$0")/../../tests/e2e" && pwd)/lib.sh"

hwm_kb() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status"; }

# Waits (up to 20 s) until the window rectangle shows (or, with "not", stops showing) the image
# rectangle.
wait_shows() {
    local negate=$1 win=$2 wrect=$3 file=$4 frect=$5 want got
    want=$("$PROBE" filemean "$file" $frect) || fail "cannot read $file"
    for _ in $(seq 1 200); do
        got=$("$PROBE" mean "$win" $wrect) || fail "cannot read the window"
        if close_to "$got" "$want" 12; then [ "$negate" = is ] && return 0
        else [ "$negate" = not ] && return 0; fi
        sleep 0.1
    done
    fail "waiting for $file ($negate) timed out"
}

bare_run() {
    "$BARE" >/dev/null &
    GAME_PID=$!
    wait_window bare_gl >/dev/null || fail "no bare_gl window"
    sleep 2
    hwm_kb "$GAME_PID"
    kill "$GAME_PID"
    wait "$GAME_PID" 2>/dev/null
    GAME_PID=""
}

game_run() {
    make_game_copy "$EXE"
    start_game >/dev/null
    local box win
    box=$(wait_window "Apertura Applicazione") || fail "no question box"
    xdotool windowfocus --sync "$box"
    press Tab
    press Return
    win=$(wait_window "MORVANE_GAME_TESTS - by DRESK") || fail "no game window"
    xdotool windowfocus --sync "$win"
    wait_shows is "$win" "460 280 700 350" "$WORK/Immagini/Button/startGame.png" "408 16 888 116"
    xdotool mousemove_relative -- 400 300
    sleep 0.5
    xdotool mousedown 1
    sleep 0.3
    xdotool mouseup 1
    # The loading screen, then the board once it goes.
    wait_shows is "$win" "100 100 300 300" "$WORK/Immagini/Loading.jpg" "200 133 600 400"
    wait_shows not "$win" "100 100 300 300" "$WORK/Immagini/Loading.jpg" "200 133 600 400"
    sleep 3
    hwm_kb "$GAME_PID"
    press Escape
    wait_exit || kill "$GAME_PID"
    rm -rf "$WORK"
    trap - EXIT
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

bare=() game=()
for _ in $(seq 1 "$REPS"); do
    bare+=("$(bare_run)")
    game+=("$(game_run)")
done
b=$(printf '%s\n' "${bare[@]}" | median)
g=$(printf '%s\n' "${game[@]}" | median)
echo "bare SDL2+GL VmHWM kB: ${bare[*]} (median $b)"
echo "game VmHWM kB:         ${game[*]} (median $g)"
echo "game - bare: $(( (g - b) / 1024 )) MB"
