#!/usr/bin/env bash
# The board with real input: drawing from the deck, placing the dwarf in a window that is not at
# the screen's corner, a held click on it, moving it, the keys S, Z and A, and the exit window.
EXE=$1
PROBE=$2
. "$(dirname "$0")/lib.sh"
make_game_copy "$EXE"

# Squares 9 and 17, and where the dwarf's middle shows on them (1024 x 768).
SQ9="372 484"
SQ17="378 424"
DWARF9="362 467"
DWARF17="368 407"

start_answering Tab Return
enter_board
cursor_to $PARK
BASE1=$(figure $DWARF1)
base17=$(figure $DWARF17)

echo "-- one card, then five"
draw_card
[ "$(log_count "carta pescata")" = 1 ] || fail "one press drew $(log_count "carta pescata") cards"
grep -aq "messa in posizione - 0" "$BIN/D3D.log" || fail "the first card is not in slot 0"
draw_five

echo "-- the window away from the corner: the dwarf goes where the cursor is"
xdotool windowmove "$WIN" 150 100
wait_for 5 eval 'xwininfo -id "$WIN" | grep -q "Absolute upper-left X:  150"' || fail "the window did not move"
place_dwarf_on_square1
placed1=$(figure $DWARF1)
placed9=$(figure $DWARF9)

echo "-- a click held on the dwarf selects it once and takes no square"
cursor_to 362 516  # its head, in front of square 9
wait_for 5 eval 'bright_yellow "$(spot 355 530)"' || fail "the dwarf is not hovered"
xdotool mousedown 1
sleep 0.6
xdotool mouseup 1
cursor_to $PARK
wait_for 5 eval '! bright_yellow "$(spot $DWARF1)"' || fail "the dwarf stays hovered"
# The cursor may still cross the figures on its way.
wait_for 5 eval 'close_to "$(figure $DWARF9)" "$placed9" 12' || fail "the held click moved the dwarf to square 9"
wait_for 5 eval 'close_to "$(figure $DWARF1)" "$placed1" 12' || fail "the dwarf left square 1"
# Still in moving mode, and square 9 free to take.
cursor_to $SQ9
wait_for 5 eval 'yellowish "$(spot 385 472)"' || fail "square 9 is not offered after the held click"

echo "-- moving it two rows"
cursor_to $SQ17
wait_for 5 eval 'yellowish "$(spot 392 414)"' || fail "square 17 is not offered"
xdotool mousedown 1
wait_for 5 eval 'close_to "$(figure $DWARF1)" "$BASE1" 12' || fail "the dwarf did not leave square 1"
xdotool mouseup 1
cursor_to $PARK
wait_for 5 eval '! close_to "$(figure $DWARF17)" "$base17" 20' || fail "the dwarf did not reach square 17"

echo "-- S saves the window's image"
expect_screenshot 0

echo "-- Z raises the camera, A lowers it"
board() { bluish "$1" || reddish "$1"; }
xdotool keydown z
wait_for 10 eval '! board "$(spot 512 300)" && board "$(spot 512 620)"' || fail "Z did not raise the camera"
xdotool keyup z
xdotool keydown a
wait_for 10 eval 'board "$(spot 512 60)"' || fail "A did not lower the camera"
xdotool keyup a

echo "-- EXIT, then NO, then EXIT and YES"
win_base=$(mean 300 150 700 230)
cursor_to 950 25
xdotool mousedown 1
wait_for 5 eval '! close_to "$(mean 300 150 700 230)" "$win_base" 20' || fail "EXIT showed no window"
xdotool mouseup 1
cursor_to 510 350
xdotool mousedown 1
wait_for 5 eval 'close_to "$(mean 300 150 700 230)" "$win_base" 12' || fail "NO did not close the window"
xdotool mouseup 1
cursor_to 950 25
xdotool mousedown 1
wait_for 5 eval '! close_to "$(mean 300 150 700 230)" "$win_base" 20' || fail "EXIT showed no window again"
xdotool mouseup 1
cursor_to 510 265
xdotool mousedown 1
wait_exit || fail "YES did not end the game"
xdotool mouseup 1
[ "$STATUS" = 0 ] || fail "YES ended with status $STATUS"
echo PASS
