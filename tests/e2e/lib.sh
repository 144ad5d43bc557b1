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
