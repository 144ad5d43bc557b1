#!/usr/bin/env bash
# The start-up question answered by keyboard and by mouse, the window, options.txt, Escape,
# closing the window, and a failed video start-up.
EXE=$1
XCLOSE=$2
. "$(dirname "$0")/lib.sh"
make_game_copy "$EXE"
TITLE="MORVANE_GAME_TESTS - by DRESK"
QUESTION="Apertura Applicazione"

echo "-- keyboard: No, then Escape"
start_game
box=$(wait_window "$QUESTION") || fail "no question box"
xdotool windowfocus --sync "$box"
press Tab
press Return
win=$(wait_window "$TITLE") || fail "no game window"
# The window shows before the question; the answer sizes it and writes options.txt.
wait_for 10 eval '[ "$(geometry "$win")" = "1024x768" ]' || fail "client area is $(geometry "$win")"
# The program's own 32 x 32 icon is the window's icon.
xprop -id "$win" _NET_WM_ICON | grep -q "Icon (32 x 32)" || fail "the window has no 32 x 32 icon"
expected=$(printf 'WinWidth 1024\r\nWinHeight 768\r\nWindowed TRUE\r\n\r\nDEVICE TYPE D3DDEVTYPE_HAL\r\nb2SidedStencils true\r\npsVersion true\r\n' | od -c)
wait_for 10 eval '[ "$(od -c < "$BIN/options.txt")" = "$expected" ]' || fail "options.txt: $(od -c < "$BIN/options.txt")"
xdotool windowfocus --sync "$win"
press Escape
wait_exit || fail "Escape did not end the game"
[ "$STATUS" = 0 ] || fail "Escape ended with status $STATUS"

echo "-- mouse: click No, then close the window"
start_game
box=$(wait_window "$QUESTION") || fail "no question box"
eval "$(xdotool getwindowgeometry --shell "$box")"
# The answers stand at the bottom right, No last: 88 x 28 buttons, 16 pixels from the edges.
xdotool mousemove --window "$box" $((WIDTH - 16 - 44)) $((HEIGHT - 16 - 14)) click 1
win=$(wait_window "$TITLE") || fail "no game window after the click"
wait_for 10 grep -q "Windowed TRUE" "$BIN/options.txt" || fail "the click did not answer No"
"$XCLOSE" "$win" || fail "could not ask the window to close"
wait_exit || fail "closing the window did not end the game"
[ "$STATUS" = 0 ] || fail "closing ended with status $STATUS"

echo "-- keyboard: Yes gives a full-screen window"
start_game
box=$(wait_window "$QUESTION") || fail "no question box"
xdotool windowfocus --sync "$box"
press Return
win=$(wait_window "$TITLE") || fail "no game window"
screen=$(xdpyinfo | awk '/dimensions:/ {print $2}')
wait_for 10 eval '[ "$(geometry "$win")" = "$screen" ]' || fail "full screen window is $(geometry "$win"), screen $screen"
wait_for 10 grep -q "Windowed FALSE" "$BIN/options.txt" || fail "options.txt is not full screen"
xdotool windowfocus --sync "$win"
press Escape
wait_exit || fail "Escape did not end the full-screen game"
[ "$STATUS" = 0 ] || fail "status $STATUS"

echo "-- no Direct3D: the error box, then the video start-up fails"
MORVANE_TEST_D3D_FAIL=create MORVANE_TEST_MSGBOX=ok start_game
wait_exit || fail "the game did not end"
# WinMain returns E_FAIL (0x80004005); the process status keeps its low byte.
[ "$STATUS" = 5 ] || fail "status $STATUS"
grep -q "ERROR: Installare DirectX 9.0c" "$WORK/stderr.txt" || fail "no error line"
grep -q "Inizializzazione Video Fallita" "$WORK/stderr.txt" || fail "no video failure line"

echo "-- no device: the video start-up fails"
MORVANE_TEST_D3D_FAIL=all MORVANE_TEST_MSGBOX=no start_game
wait_exit || fail "the game did not end"
[ "$STATUS" = 5 ] || fail "status $STATUS"
grep -q "Inizializzazione Video Fallita" "$WORK/stderr.txt" || fail "no video failure line"

echo "-- the log cannot be opened: the start ends with a non-zero status"
mkdir "$BIN/D3D.log"
start_answering Tab Return
wait_exit || fail "the game did not end"
[ "$STATUS" != 0 ] || fail "a start without its log ended with status 0"
grep -q "ERROR: Impossibile inizializzare il log file" "$WORK/stderr.txt" || fail "no log failure line"
echo PASS
