#!/usr/bin/env bash
# From the menu to the board, where a click on the deck draws cards into the hand.
EXE=$1
PROBE=$2
. "$(dirname "$0")/lib.sh"
make_game_copy "$EXE"
TITLE="MORVANE_GAME_TESTS - by DRESK"

start_game
box=$(wait_window "Apertura Applicazione") || fail "no question box"
xdotool windowfocus --sync "$box"
press Tab
press Return
WIN=$(wait_window "$TITLE") || fail "no game window"
xdotool windowfocus --sync "$WIN"

echo "-- the start button leads to the board"
# Waits until the start button is drawn (its image drawn 512 x 89.6 at (256, 268.8)).
want=$("$PROBE" filemean "$WORK/Immagini/Button/startGame.png" 408 16 888 116) || fail "cannot read the button image"
shown=""
for _ in $(seq 1 150); do
    got=$("$PROBE" mean "$WIN" 460 280 700 350) || fail "cannot read the window"
    close_to "$got" "$want" 12 && { shown=1; break; }
    sleep 0.1
done
[ -n "$shown" ] || fail "no start menu"
xdotool mousemove_relative -- 400 300
sleep 0.5
xdotool mousedown 1
sleep 0.3
xdotool mouseup 1
# Two seconds of loading image, the board's loading, then the rest of the five seconds.
sleep 10

echo "-- a click on the deck draws a card"
# The board's loading moved the cursor by half the screen: (912, 684); the deck's hit box
# spans y 608 to 680 at x 890 to 1018.
xdotool mousemove_relative -- 0 -20
sleep 0.5
xdotool mousedown 1
sleep 0.3
xdotool mouseup 1
sleep 1
press Escape
wait_exit || fail "Escape did not end the game"
[ "$STATUS" = 0 ] || fail "Escape ended with status $STATUS"
log=$(od -An -c < "$BIN/D3D.log" | tr -s ' \n' ' ')
grep -aq "carta pescata: [0-4]	" "$BIN/D3D.log" || fail "no card drawn: $log"
grep -aq "messa in posizione - 0" "$BIN/D3D.log" || fail "the first card did not go to the hand: $log"
# A held button draws about one card per 100 ms; each goes into the hand after the ones before.
n=$(grep -ac "carta pescata" "$BIN/D3D.log")
[ "$n" -ge 1 ] && [ "$n" -le 5 ] || fail "$n cards drawn: $log"
for k in $(seq 0 $((n - 1))); do
    grep -aq "messa in posizione - $k" "$BIN/D3D.log" || fail "card $k of the draw is not logged: $log"
done
[ "$(grep -ao "carta pescata: [0-4]" "$BIN/D3D.log" | sort | uniq -d)" = "" ] || fail "a card was drawn twice: $log"
echo PASS
