# Shared steps of the end-to-end tests: a copy of the game folder, the game started in it,
# and waiting for its windows.
set -u

fail() {
    echo "FAIL: $*" >&2
    [ -n "${GAME_PID:-}" ] && kill "$GAME_PID" 2>/dev/null
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

start_game() {
    (cd "$BIN" && exec ./"$(basename "$EXE")" 2>"$WORK/stderr.txt") &
    GAME_PID=$!
}

# Waits until a window of that exact name is mapped; prints its id.
wait_window() {
    local name=$1 id=""
    for _ in $(seq 1 300); do
        id=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# Waits for the game to end and sets STATUS to its exit status (run it in this shell, not in
# a command substitution: only the parent can wait for its child).
wait_exit() {
    local ticks=0
    while kill -0 "$GAME_PID" 2>/dev/null; do
        ticks=$((ticks + 1))
        [ "$ticks" -gt 300 ] && return 1
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
start_answering() {
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

# The mean "R G B" of a window rectangle X0 Y0 X1 Y1 (xprobe in $PROBE).
mean() {
    "$PROBE" mean "$WIN" "$@" || fail "cannot read the window"
}

# The mean of the 10 x 10 pixels around (X, Y).
spot() {
    mean $(($1 - 5)) $(($2 - 5)) $(($1 + 5)) $(($2 + 5))
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
    local want
    want=$("$PROBE" filemean "$WORK/Immagini/Button/startGame.png" 408 16 888 116) || fail "cannot read the button image"
    wait_for 15 eval 'close_to "$(mean 460 280 700 350)" "$want" 12' || fail "no start menu"
    cursor_to 400 300
    xdotool mousedown 1
    wait_for 10 eval '! close_to "$(mean 460 280 700 350)" "$want" 30' || fail "the start button did not lead on"
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
