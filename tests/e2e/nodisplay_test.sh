#!/usr/bin/env bash
# Without a usable X display (none at all, or one without OpenGL) the game says so in one line and
# ends with a failure, having written nothing.
EXE=$1
. "$(dirname "$0")/lib.sh"
make_game_copy "$EXE"
before=$(ls -A "$BIN")

# Runs the game on DISPLAY and expects a failure (its status in STATUS) told in one line of stderr
# matching a pattern.
expect_one_line_failure() {
    local display=$1 pattern=$2
    echo "-- DISPLAY=\"$display\""
    STATUS=0
    (cd "$BIN" && env -u SDL_VIDEODRIVER DISPLAY="$display" timeout 60 ./"$(basename "$EXE")" 2>"$WORK/stderr.txt") ||
        STATUS=$?
    [ "$STATUS" != 0 ] && [ "$STATUS" != 124 ] || fail "status $STATUS"
    [ "$(wc -l < "$WORK/stderr.txt")" = 1 ] || fail "stderr: $(cat "$WORK/stderr.txt")"
    grep -q "$pattern" "$WORK/stderr.txt" || fail "stderr: $(cat "$WORK/stderr.txt")"
    [ "$(ls -A "$BIN")" = "$before" ] || fail "files written: $(ls -A "$BIN")"
}

n=90
while [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
for display in ":$n" ""; do
    expect_one_line_failure "$display" "cannot open the X display \"$display\""
done

# A display without GLX: the window cannot be made, and WinMain returns E_FAIL.
Xvfb -displayfd 3 -screen 0 640x480x24 -extension GLX -nolisten tcp 3>"$WORK/displayfd" 2>/dev/null &
XVFB_PID=$!
trap 'kill "$XVFB_PID" 2>/dev/null; rm -rf "$WORK"' EXIT
wait_for 30 test -s "$WORK/displayfd" || fail "the display without GLX did not start"
display=":$(cat "$WORK/displayfd")"
expect_one_line_failure "$display" "cannot open the OpenGL window .* on the X display \"$display\": .*GLX"
[ "$STATUS" = 5 ] || fail "status $STATUS"
echo PASS
