#!/usr/bin/env bash
# A file the board needs that cannot be loaded: a message box names it and the game ends with a
# non-zero status.
EXE=$1
PROBE=$2
. "$(dirname "$0")/lib.sh"

# Starts a fresh copy with one file spoiled, goes to the board and expects the failure.
expect_board_failure() {
    local file=$1 spoil=$2 box
    make_game_copy "$EXE"
    $spoil "$WORK/$file"
    CX=0
    CY=0
    start_answering Tab Return
    enter_board_loading
    box=$(wait_window "Errore") || fail "no message box for $file"
    grep -aF "ERROR: $3: ..\\$(echo "$file" | tr / '\\')" "$WORK/stderr.txt" >/dev/null ||
        fail "the message does not name $file: $(cat "$WORK/stderr.txt")"
    xdotool windowfocus --sync "$box"
    press Return
    wait_exit || fail "the game did not end after the box for $file"
    [ "$STATUS" != 0 ] || fail "the failure for $file ended with status 0"
    rm -rf "$WORK"
}

damage() { head -c $(($(stat -c %s "$1") / 2)) "$1" > "$1.part" && mv "$1.part" "$1"; }

echo "-- a missing texture"
expect_board_failure Immagini/GUI/mazzo.png rm "Impossibile caricare la texture"
echo "-- a damaged model"
expect_board_failure Data/casella.x damage "Impossibile caricare il modello"
echo PASS
