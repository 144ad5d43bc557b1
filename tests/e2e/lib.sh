# Shared steps of the end-to-end tests: a copy of the game folder, the game started in it,
# and waiting for its windows.
set -u

fail() {
    echo "FAIL: $*" >&2
    if [ -n "${GAME_PID:-}" ]; then
        # What the game was doing: its threads' stacks if it still runs, else how it ended.
        if game_running; then
            command -v gdb >/dev/null && timeout 60 gdb -p "$GAME_PID" -batch -ex "thread apply all bt" 2>/dev/null |
                grep -E "^(Thread|#)" | head -n 80 >&2
            kill "$GAME_PID" 2>/dev/null
        else
            wait "$GAME_PID"
            echo "the game had ended with status $?" >&2
        fi
        [ -s "${WORK:-}/stderr.txt" ] && { echo "its stderr:" >&2; tail -n 20 "$WORK/stderr.txt" >&2; }
    fi
    exit 1
}

# Makes a fresh copy of the game folder beside the executable's bin/ folder.
make_game_copy() {
    local exe=$1
    local root
    root=$(dirname "$(dirname "$exe")")
    WORK=$(mktemp -d)
    cp -r "$root/." "$WORK/"
    BIN="$WORK/bin"
    trap 'rm -rf "$WORK"' EXIT
}

# Starts the game from the folder FROM (its own bin/ when unset), by a path relative to that folder.
start_game() {
    local from=${FROM:-$BIN}
    (cd "$from" && exec "$(realpath --relative-to=. "$BIN")/$(basename "$EXE")" 2>"$WORK/stderr.txt") &
    GAME_PID=$!
}

# Whether the game still runs (an ended game stays a zombie until this shell waits for it).
game_running() {
    local state
    state=$(awk '{print $3}' "/proc/$GAME_PID/stat" 2>/dev/null)
    [ -n "$state" ] && [ "$state" != Z ]
}

# Waits until a window of that exact name is mapped; prints its id. Gives up after a minute, or
# as soon as the game has ended.
wait_window() {
    local name=$1 id=""
    for _ in $(seq 1 600); do
        id=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        [ -n "${GAME_PID:-}" ] && ! game_running && return 1
        sleep 0.1
    done
    return 1
}

# Waits up to SECONDS (30 by default) for the game to end and sets STATUS to its exit status (run
# it in this shell, not in a command substitution: only the parent can wait for its child).
wait_exit() {
    local ticks=0
    while kill -0 "$GAME_PID" 2>/dev/null; do
        ticks=$((ticks + 1))
        [ "$ticks" -gt $((${1:-30} * 10)) ] && return 1
        sleep 0.1
    done
    wait "$GAME_PID"
    STATUS=$?
    GAME_PID=""
    return 0
}

# Presses a key long enough for the game to see it held.
press() {
    xdotool keydown "$1"
    sleep 0.2
    xdotool keyup "$1"
}

geometry() {
    xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'
}

# Whether two "R G B" triples differ by at most TOL in every channel.
close_to() {
    local a=($1) b=($2) tol=$3 i d
    for i in 0 1 2; do
        d=$(( ${a[$i]} - ${b[$i]} ))
        [ "${d#-}" -le "$tol" ] || return 1
    done
    return 0
}

# The sum of the channels of an "R G B" triple.
brightness() {
    local c=($1)
    echo $(( ${c[0]} + ${c[1]} + ${c[2]} ))
}

# Starts the game and answers the full-screen question: press Tab first for No (windowed).
# The game reads relative motion, which the X server loses at the screen's edges: the pointer
# starts from the middle of the screen.
start_answering() {
    xdotool mouseup 1 2>/dev/null
    xdotool mousemove $(xdotool getdisplaygeometry | awk '{print int($1 / 2), int($2 / 2)}')
    start_game
    local box
    box=$(wait_window "Apertura Applicazione") || fail "no question box"
    xdotool windowfocus --sync "$box"
    for key in "$@"; do press "$key"; done
    WIN=$(wait_window "MORVANE_GAME_TESTS - by DRESK") || fail "no game window"
    xdotool windowfocus --sync "$WIN"
}

# Runs a command every 20 ms until it succeeds, for up to SECONDS.
wait_for() {
    local seconds=$1 i
    shift
    for i in $(seq 1 $((seconds * 50))); do
        "$@" && return 0
        sleep 0.02
    done
    return 1
}

# The mean "R G B" of the rectangle X0 Y0 X1 Y1 of the game's image (xprobe in $PROBE); in full
# screen the window stretches the image over the desktop (WIN_W x WIN_H).
mean() {
    local sx=${WIN_W:-$BOARD_W} sy=${WIN_H:-$BOARD_H}
    "$PROBE" mean "$WIN" $(($1 * sx / BOARD_W)) $(($2 * sy / BOARD_H)) $(($3 * sx / BOARD_W)) $(($4 * sy / BOARD_H)) ||
        fail "cannot read the window"
}

# The mean of the 10 x 10 pixels around (X, Y).
spot() {
    mean $(($1 - 5)) $(($2 - 5)) $(($1 + 5)) $(($2 + 5))
}

# The mean of the 24 x 24 pixels around (X, Y): enough of a character to tell it from a square.
figure() {
    mean $(($1 - 12)) $(($2 - 12)) $(($1 + 12)) $(($2 + 12))
}

bluish() { local c=($1); [ "${c[2]}" -gt $((${c[0]} + 40)) ]; }
reddish() { local c=($1); [ "${c[0]}" -gt $((${c[2]} + 40)) ]; }

# The game's cursor moves by relative motion only: the script keeps its place in CX, CY (the
# menu starts it at (0, 0); the board's loading moves it by half the screen).
CX=0
CY=0
BOARD_W=1024
BOARD_H=768
cursor_to() {
    xdotool mousemove_relative -- $(($1 - CX)) $(($2 - CY))
    CX=$1
    CY=$2
}

# The number of lines of D3D.log that match a pattern.
log_count() {
    grep -ac "$1" "$BIN/D3D.log" 2>/dev/null
}

# From the start menu to the loading screen.
enter_board_loading() {
    local want loading hover tries
    read -r WIN_W WIN_H <<< "$(geometry "$WIN" | tr x " ")"
    want=$("$PROBE" filemean "$WORK/Immagini/Button/startGame.png" 408 16 888 116) || fail "cannot read the button image"
    loading=$("$PROBE" filemean "$WORK/Immagini/Loading.jpg" 200 133 600 400) || fail "cannot read the loading image"
    wait_for 15 eval 'close_to "$(mean 460 280 700 350)" "$want" 12' || fail "no start menu"
    hover=$("$PROBE" filemean "$WORK/Immagini/Button/startGameOn.png" 408 16 888 116) || fail "cannot read the button image"
    # Motion just after the mouse is acquired may be lost: to the corner and onto the button
    # until the button shows the cursor over it.
    for tries in 1 2 3 4 5; do
        xdotool mousemove_relative -- -400 -300
        sleep 0.1
        xdotool mousemove_relative -- 400 300
        wait_for 1 eval 'close_to "$(mean 460 280 700 350)" "$hover" 12' && break
    done
    [ "$tries" -lt 5 ] || close_to "$(mean 460 280 700 350)" "$hover" 12 || fail "the start button is not hovered"
    CX=400
    CY=300
    xdotool mousedown 1
    wait_for 10 eval 'close_to "$(mean 100 100 300 300)" "$loading" 12' || fail "the start button did not lead on"
    xdotool mouseup 1
    CX=$((CX + BOARD_W / 2))
    CY=$((CY + BOARD_H / 2))
}

# On to the board, once it shows its checkerboard (square 0 blue, square 1 red).
enter_board() {
    enter_board_loading
    wait_for 20 eval 'bluish "$(spot 294 550)" && reddish "$(spot 367 550)"' || fail "no board"
}
# The highlight of a square offered to a click, and a hovered character, drawn all in yellow.
yellowish() { local c=($1); [ "${c[1]}" -gt $((${c[2]} + 40)) ] && [ "${c[0]}" -gt $((${c[2]} + 40)) ]; }
bright_yellow() { local c=($1); [ "${c[0]}" -gt 200 ] && [ "${c[1]}" -gt 180 ] && [ "${c[2]}" -lt 150 ]; }

# Square 1's centre and where the dwarf's middle shows on it (1024 x 768); a place for the
# cursor away from the squares.
SQ1="367 550"
DWARF1="357 533"
PARK="1000 300"

# A press on the deck, released as soon as it drew (before the deck's 100 ms repeat).
draw_card() {
    local n
    n=$(log_count "carta pescata")
    cursor_to 950 640
    xdotool mousedown 1
    wait_for 5 eval '[ "$(log_count "carta pescata")" -gt '"$n"' ]' || fail "press $((n + 1)) on the deck drew nothing"
    xdotool mouseup 1
}

# Draws what is left of the five cards; sets SLOT to the hand slot of the dwarf (card 0), numbered
# by the hand count logged after it.
draw_five() {
    while [ "$(log_count "carta pescata")" -lt 5 ]; do draw_card; done
    [ "$(log_count "carta pescata")" = 5 ] || fail "five presses drew $(log_count "carta pescata") cards"
    [ "$(grep -ao "carta pescata: [0-4]" "$BIN/D3D.log" | sort -u | wc -l)" = 5 ] || fail "a card was drawn twice"
    SLOT=$(grep -aA1 "carta pescata: 0" "$BIN/D3D.log" | sed -n 's/^messa in posizione - \([0-4]\).*/\1/p')
    [ -n "$SLOT" ] || fail "the dwarf's slot is not logged"
}
SLOT_X=(104 200 298 396 492)

# Clicks the dwarf's card, then square 1 once it is offered under the cursor; BASE1 is what
# square 1 showed before.
place_dwarf_on_square1() {
    local prompt_base
    prompt_base=$(mean 310 616 700 636)
    cursor_to $((SLOT_X[SLOT] + 32)) 730
    xdotool mousedown 1
    wait_for 5 eval '! close_to "$(mean 310 616 700 636)" "$prompt_base" 8' || fail "no placing prompt"
    xdotool mouseup 1
    cursor_to $SQ1
    wait_for 5 eval 'yellowish "$(spot 380 540)"' || fail "square 1 is not offered under the cursor"
    xdotool mousedown 1
    wait_for 5 eval '[ "$(log_count "Libero la posizione: $SLOT")" = 1 ]' || fail "the dwarf was not placed"
    xdotool mouseup 1
    cursor_to $PARK
    wait_for 5 eval '! close_to "$(figure $DWARF1)" "$BASE1" 20 && ! bright_yellow "$(spot $DWARF1)"' ||
        fail "no dwarf on square 1"
}

# The mean of the 10 x 10 pixels around (X, Y) of an image file.
file_spot() {
    "$PROBE" filemean "$1" $(($2 - 5)) $(($3 - 5)) $(($2 + 5)) $(($3 + 5))
}

# S saves screenshot0N.bmp, the 1024 x 768 image of the board (square 0 blue, square 3 red).
expect_screenshot() {
    SHOT="$BIN/screenshot0$1.bmp"
    press s
    wait_for 5 test -s "$SHOT" || fail "S saved no $SHOT"
    wait_for 5 eval 'file "$SHOT" | grep -q "1024 x 768"' || fail "the screenshot is not 1024 x 768: $(file "$SHOT")"
    bluish "$(file_spot "$SHOT" 294 550)" && reddish "$(file_spot "$SHOT" 512 550)" ||
        fail "the screenshot does not show the board"
}
