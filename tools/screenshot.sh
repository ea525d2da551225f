#!/usr/bin/env bash
# Starts the program on a private X server, waits for its window and saves a picture of
# it. Usage: tools/screenshot.sh [out.png] [program arguments...]
# Needs xvfb, xauth, xdotool and imagemagick (tools/install-deps.sh test).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-screenshots/main-window.png}
shift || true
program=${KR90X_PROGRAM:-build/Orvo_KR90X.exe}
mkdir -p "$(dirname "$out")"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

QT_QPA_PLATFORM=xcb "$program" "$@" &
app=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name "Orvo KR90X pressure tester" | head -n 1)
# Let the first paint finish before taking the picture.
sleep 1
# KR90X_CLICKS="x,y x,y ...": left clicks at window coordinates, one a second, first.
for click in ${KR90X_CLICKS:-}; do
    xdotool mousemove --window "$window" "${click%,*}" "${click#*,}" click 1
    sleep "${KR90X_CLICK_PAUSE:-1}"
done
# KR90X_SHOT=screen takes the whole screen, dialogs over the window included.
if [ "${KR90X_SHOT:-window}" = screen ]; then
    import -window root "$out"
else
    import -window "$window" "$out"
fi
echo "$out"
