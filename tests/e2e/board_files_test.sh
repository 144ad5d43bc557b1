#!/usr/bin/env bash
# A file the game needs that cannot be loaded: a message box names it, answered with the mouse,
# and the game ends with a failure status.
EXE=$1
PROBE=$2
. "$(dirname "$0")/lib.sh"

# Clicks the box's one button (88 x 28, 16 pixels from the bottom right corner) once the box shows
# the pointer over it (its face turns from grey 225 to 235): the pointer is free although the
# game's mouse is exclusive.
click_ok() {
    local box=$1
    eval "$(xdotool getwindowgeometry --shell "$box")"
    wait_for 10 eval 'xdotool mousemove --window "$box" $((WIDTH - 60)) $((HEIGHT - 30)) &&
        close_to "$("$PROBE" mean "$box" $((WIDTH - 101)) $((HEIGHT - 41)) $((WIDTH - 84)) $((HEIGHT - 19)))" "235 235 235" 2' ||
        fail "the box does not see the pointer over its button"
    xdotool click 1
}

# Starts a fresh copy with FILE spoiled by SPOIL, goes on to the board's loading when STAGE is
# "board", and expects the box for TEXT naming the file and the end with STATUS.
expect_failure() {
    local file=$1 spoil=$2 text=$3 status=$4 stage=${5:-} box
    make_game_copy "$EXE"
    $spoil "$WORK/$file"
    CX=0
    CY=0
    start_answering Tab Return
    [ "$stage" = board ] && enter_board_loading
    box=$(wait_window "Errore") || fail "no message box for $file"
    grep -aF "ERROR: $text: ..\\$(echo "$file" | tr / '\\')" "$WORK/stderr.txt" >/dev/null ||
        fail "the message does not name $file: $(cat "$WORK/stderr.txt")"
    click_ok "$box"
    wait_exit || fail "the game did not end after the box for $file"
    [ "$STATUS" = "$status" ] || fail "the failure for $file ended with status $STATUS"
    rm -rf "$WORK"
}

damage() { head -c $(($(stat -c %s "$1") / 2)) "$1" > "$1.part" && mv "$1.part" "$1"; }
empty() { : > "$1"; }

# The video start-up fails with E_FAIL, whose low byte is the status; the menu and the board end
# the run with status 1.
echo "-- a missing logo"
expect_failure Immagini/DRESK_LOGO.jpg rm "Impossibile caricare la texture" 5
echo "-- an empty menu button"
expect_failure Immagini/Button/startGame.png empty "Impossibile caricare la texture" 1
echo "-- a missing texture of the board"
expect_failure Immagini/GUI/mazzo.png rm "Impossibile caricare la texture" 1 board
echo "-- a damaged model"
expect_failure Data/casella.x damage "Impossibile caricare il modello" 1 board
echo PASS
