#!/usr/bin/env bash
# The logo, the start menu with the game's cursor, the loading screen, the screenshot key, and
# the ways out of the menu.
EXE=$1
PROBE=$2
XCLOSE=$3
. "$(dirname "$0")/lib.sh"
make_game_copy "$EXE"
IMG="$WORK/Immagini"
TITLE="MORVANE_GAME_TESTS - by DRESK"

# Waits (up to SECONDS) until the mean colour of a window rectangle matches the image rectangle
# it shows.
expect_shows() {
    local what=$1 win=$2 wrect=$3 file=$4 frect=$5 seconds=${6:-5} got want tries
    want=$("$PROBE" filemean "$file" $frect) || fail "cannot read $file"
    for tries in $(seq 1 $((seconds * 10))); do
        got=$("$PROBE" mean "$win" $wrect) || fail "cannot read the window for $what"
        close_to "$got" "$want" 12 && return 0
        sleep 0.1
    done
    fail "$what: window shows $got where $file has $want"
}

start_in_window() {
    start_game
    local box
    box=$(wait_window "Apertura Applicazione") || fail "no question box"
    xdotool windowfocus --sync "$box"
    press Tab
    press Return
    WIN=$(wait_window "$TITLE") || fail "no game window"
    xdotool windowfocus --sync "$WIN"
}

# Screenshots of an earlier run stay as they are.
printf 'first run' > "$BIN/screenshot00.bmp"
printf 'second run' > "$BIN/screenshot01.bmp"
cp "$BIN/screenshot00.bmp" "$BIN/screenshot01.bmp" "$WORK/"

echo "-- the logo, then the menu"
start_in_window
press s  # the keyboard is set up two seconds into the logo: nothing is saved
# The logo (2048 x 1024) is drawn at half its width and three quarters of its height.
expect_shows "logo" "$WIN" "100 100 300 300" "$IMG/DRESK_LOGO.jpg" "200 133 600 400" 10
# Start button: (512, 384) scaled by (0.5, 0.7), a 1024 x 128 image drawn 512 x 89.6.
expect_shows "start button" "$WIN" "460 280 700 350" "$IMG/Button/startGame.png" "408 16 888 116" 15
[ -e "$BIN/screenshot02.bmp" ] && fail "S during the logo saved a screenshot"
black=$("$PROBE" mean "$WIN" 100 100 200 200)
close_to "$black" "0 0 0" 3 || fail "the menu's background is $black, not black"
expect_shows "exit button" "$WIN" "460 385 700 455" "$IMG/Button/exitGame.png" "408 13 888 113"

echo "-- hovering the start button highlights it"
xdotool mousemove_relative -- 400 300
expect_shows "hovered start button" "$WIN" "460 280 700 350" "$IMG/Button/startGameOn.png" "408 16 888 116"
# The game's cursor stands where the motion took it.
cursor=$("$PROBE" mean "$WIN" 401 301 405 305)
close_to "$cursor" "0 0 0" 3 && fail "no cursor drawn at (400, 300)"

echo "-- the start button leads to the loading screen"
xdotool mousedown 1
sleep 0.3
xdotool mouseup 1
expect_shows "loading screen" "$WIN" "100 100 300 300" "$IMG/Loading.jpg" "200 133 600 400" 10
press s
wait_for 5 test -s "$BIN/screenshot02.bmp" || fail "S in the loading screen saved no screenshot02.bmp"
[ "$(head -c 2 "$BIN/screenshot02.bmp")" = "BM" ] || fail "the screenshot is not a BMP"
cmp "$WORK/screenshot00.bmp" "$BIN/screenshot00.bmp" && cmp "$WORK/screenshot01.bmp" "$BIN/screenshot01.bmp" ||
    fail "a screenshot of an earlier run was overwritten"
press Escape
wait_exit || fail "Escape did not end the game"
[ "$STATUS" = 0 ] || fail "Escape ended with status $STATUS"

echo "-- Escape in the menu ends the game"
start_in_window
expect_shows "menu" "$WIN" "460 280 700 350" "$IMG/Button/startGame.png" "408 16 888 116" 15
press Escape
wait_exit 5 || fail "Escape in the menu did not end the game"
[ "$STATUS" = 0 ] || fail "Escape in the menu ended with status $STATUS"

echo "-- closing the window in the menu ends the game"
start_in_window
expect_shows "menu" "$WIN" "460 280 700 350" "$IMG/Button/startGame.png" "408 16 888 116" 15
"$XCLOSE" "$WIN" || fail "could not ask the window to close"
wait_exit 5 || fail "closing the window in the menu did not end the game"
[ "$STATUS" = 0 ] || fail "closing the window in the menu ended with status $STATUS"

echo "-- started from another folder; the exit button ends the process at once"
rm -f "$BIN/D3D.log"
FROM="$WORK/home/player"
mkdir -p "$FROM"
printf 'a file of the user\n' > "$FROM/options.txt"
before=$(cd "$FROM" && ls -lA --time-style=full-iso && md5sum options.txt)
start_in_window
expect_shows "menu" "$WIN" "460 280 700 350" "$IMG/Button/startGame.png" "408 16 888 116" 15
xdotool mousemove_relative -- 400 420
expect_shows "hovered exit button" "$WIN" "460 385 700 455" "$IMG/Button/exitGameOn.png" "408 13 888 113"
xdotool mousedown 1
wait_exit || fail "the exit button did not end the game"
xdotool mouseup 1
[ "$STATUS" = 0 ] || fail "the exit button ended with status $STATUS"
[ "$(od -c < "$BIN/D3D.log")" = "$(printf 'D3D LOG FILE \r\n\r\n\r\n' | od -c)" ] ||
    fail "D3D.log is not the header alone"
[ "$(cd "$FROM" && ls -lA --time-style=full-iso && md5sum options.txt)" = "$before" ] ||
    fail "the folder the game was started from changed: $(ls -lA "$FROM")"
echo PASS
