#!/usr/bin/env bash
# Without a usable X display the game says so in one line and ends with a failure, having
# written nothing.
EXE=$1
. "$(dirname "$0")/lib.sh"
make_game_copy "$EXE"
before=$(ls -A "$BIN")

n=90
while [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
for display in ":$n" ""; do
    echo "-- DISPLAY=\"$display\""
    status=0
    (cd "$BIN" && env -u SDL_VIDEODRIVER DISPLAY="$display" timeout 60 ./"$(basename "$EXE")" 2>"$WORK/stderr.txt") ||
        status=$?
    [ "$status" != 0 ] && [ "$status" != 124 ] || fail "status $status"
    [ "$(wc -l < "$WORK/stderr.txt")" = 1 ] || fail "stderr: $(cat "$WORK/stderr.txt")"
    grep -q "cannot open the X display \"$display\"" "$WORK/stderr.txt" || fail "stderr: $(cat "$WORK/stderr.txt")"
    [ "$(ls -A "$BIN")" = "$before" ] || fail "files written: $(ls -A "$BIN")"
done
echo PASS
