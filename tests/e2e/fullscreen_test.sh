#!/usr/bin/env bash
# Full screen: S saves the image of the display mode, and the device lost with the focus comes
# back with the hand, the dwarf and the board as they were.
EXE=$1
PROBE=$2
. "$(dirname "$0")/lib.sh"
make_game_copy "$EXE"

start_answering Return
enter_board
cursor_to $PARK
BASE1=$(figure $DWARF1)
draw_five
place_dwarf_on_square1
# The four cards left in the hand show in their slots.
hand=()
for k in 0 1 2 3 4; do hand[k]=$(spot $((SLOT_X[k] + 32)) 730); done

echo "-- S in full screen"
expect_screenshot 0
close_to "$(file_spot "$SHOT" $DWARF1)" "$(spot $DWARF1)" 12 || fail "the screenshot does not show the dwarf"

echo "-- another window takes the focus, then the game again"
# The cursor, parked at (100, 100), jumps by half the screen when the board is loaded again.
cursor_to 100 100
cursor_base=$(spot 620 495)
xmessage -geometry 200x80+20+20 "other window" &
OTHER_PID=$!
trap 'kill $OTHER_PID 2>/dev/null; rm -rf "$WORK"' EXIT
other=$(wait_window xmessage) || fail "no other window"
xdotool windowfocus --sync "$other"
xdotool windowfocus --sync "$WIN"
CX=$((CX + BOARD_W / 2))
CY=$((CY + BOARD_H / 2))
wait_for 10 eval '! close_to "$(spot 620 495)" "$cursor_base" 20' || fail "the board was not loaded again"
kill $OTHER_PID
cursor_to $PARK
wait_for 5 eval 'bluish "$(spot 294 550)" && reddish "$(spot 512 550)"' || fail "the board does not show again"
! close_to "$(figure $DWARF1)" "$BASE1" 20 || fail "the dwarf is gone from square 1"
for k in 0 1 2 3 4; do
    close_to "$(spot $((SLOT_X[k] + 32)) 730)" "${hand[k]}" 12 || fail "hand slot $k changed"
done
# Square 1 is still taken: it is not offered to the dwarf's card, which is on the board.
[ "$(log_count "Libero la posizione")" = 1 ] || fail "a slot was freed again"
expect_screenshot 1
close_to "$(file_spot "$SHOT" $DWARF1)" "$(spot $DWARF1)" 12 || fail "the screenshot does not show the dwarf"

press Escape
wait_exit || fail "Escape did not end the game"
[ "$STATUS" = 0 ] || fail "Escape ended with status $STATUS"
echo PASS
