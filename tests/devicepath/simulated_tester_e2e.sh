#!/usr/bin/env bash
# The program itself, unchanged, on a private X server, talking to the simulated tester
# through its Linux device path (a fake hidraw node): the version question, a petrol
# compression, a 999-sample high-pressure curve, the tester pulled half way through the
# next curve, and plugged in again. The user's clicks come from xdotool.
#
#   simulated_tester_e2e.sh LAUNCHER PROGRAM [SCREENSHOT.png]
set -euo pipefail
launcher=$1
program=$2
screenshot=${3:-}

work=$(mktemp -d)
xvfb= session=
cleanup() {
    exec 3>&- 2>/dev/null || true
    [ -n "$session" ] && kill "$session" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# The program keeps its records here, never in the home of whoever runs the test.
export XDG_DATA_HOME=$work/data

fail() {
    echo "FAIL: $*" >&2
    echo "--- what the launcher saw:" >&2
    tail -n 20 "$work/session.log" >&2 || true
    exit 1
}
# Waits, at most $2 seconds, until the session log has $3 (default 1) lines holding $1.
await() {
    local text=$1 bound=${2:-30} count=${3:-1} i
    for ((i = 0; i < bound * 10; i++)); do
        [ "$(grep -cF -- "$text" "$work/session.log" || true)" -ge "$count" ] && return 0
        sleep 0.1 # the bound's tick: the condition is what is waited for
    done
    fail "no \"$text\" (x$count) within ${bound}s"
}

# A display of our own, picked by Xvfb itself.
Xvfb -displayfd 4 -screen 0 1280x800x24 -nolisten tcp 4>"$work/display" 2>/dev/null &
xvfb=$!
for ((i = 0; i < 200; i++)); do
    grep -q . "$work/display" 2>/dev/null && break
    sleep 0.1
done
export DISPLAY=":$(head -n 1 "$work/display")"
[ "$DISPLAY" != ":" ] || fail "Xvfb did not start"

mkfifo "$work/control"
QT_QPA_PLATFORM=xcb "$launcher" --commands "$program" <"$work/control" >"$work/session.log" 2>&1 &
session=$!
exec 3>"$work/control" # held open: the launcher reads its commands from here

await "> KR90X_VERS|"
window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Orvo KR90X pressure tester$" |
    head -n 1)
[ -n "$window" ] || fail "no window"
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
read_data() { click 407 460; }
home() { click 236 460; }

# Petrol compression is chosen at start.
read_data
await "> KR90X_COMG"

# High pressure common rail: the first item, then two down.
home
click 40 72
xdotool key --window "$window" Down Down
read_data
await "> KR90X_GAMX"
await "> KR90X_GAVA|  999|" 60
if [ -n "$screenshot" ]; then
    sleep 0.5 # lets the last paint land before the picture
    import -window "$window" "$screenshot"
fi

# Pulled out half way through the next curve, then plugged in again.
home
read_data
await "> KR90X_GAVA|  500|" 60
echo unplug >&3
await "unplugged"
echo plug >&3
await "> KR90X_VERS|" 30 2

echo quit >&3
wait "$session" || true
session=
echo "simulated tester session passed"
