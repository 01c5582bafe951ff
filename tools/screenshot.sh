#!/usr/bin/env bash
# Makes the pictures in docs/ again: dravex-demo on a fresh demo bench in a virtual X display (Xvfb),
# driven with xdotool, its windows grabbed with xwd and converted with netpbm. Needs no display of its own.
#   docs/demo.png          the main window after its first scan
#   docs/no-reference.png  the content check while the stored customer folder is gone
#   docs/file-window.png   the file window of stick H
#   docs/refused-label.png the configuration dialog's OK refusing a label the settings files cannot hold
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
DRAVEX_PACKAGES+=(xdotool)
dravex_ensure_packages
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target dravex-demo >/dev/null

scratch="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 600); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$scratch/display")"

# The newest window with this exact title (a message box shares its dialog's title), waited for.
window_named() {
    local id=""
    for _ in $(seq 600); do
        id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n1)" && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "no window \"$1\" appeared" >&2; exit 1; }
    echo "$id"
}

# Mapped is not yet painted: give the window a moment before grabbing it.
grab() {
    sleep 1.5
    xwd -silent -id "$1" | xwdtopnm 2>/dev/null | pnmtopng >"docs/$2"
    echo "docs/$2 written"
}

click_at() {
    xdotool mousemove --window "$1" "$2" "$3" click --repeat "${4:-1}" --delay 80 1
}

# One demo per scene, from a folder of its own, so its settings files start as the scene needs them; the
# scene before it ends first, so no window lies over another.
start_demo() {
    local scene="$scratch/$1"
    [ ${#pids[@]} -lt 2 ] || { kill "${pids[-1]}"; wait "${pids[-1]}" 2>/dev/null || true; }
    mkdir -p "$scene/program"
    cp build/demo/dravex-demo build/demo/format.com build/demo/xcopy build/demo/RemoveDrive.exe "$scene/program/"
    tools/demobench.sh build "$scene/bench"
    [ -z "${2:-}" ] || printf '%s\r\n' "$2" >"$scene/program/FileCopyPath.log"
    QT_QPA_PLATFORM=xcb "$scene/program/dravex-demo" "$scene/bench" >/dev/null 2>&1 &
    pids+=($!)
    main="$(window_named "DRAVEX---Tavrin")"
}

mkdir -p docs
start_demo first
grab "$main" demo.png

# Check1 sits at 532,0 in the window; the customer folder named in the settings is not there.
start_demo gone /srv/customer-gone
sleep 1
click_at "$main" 540 10
grab "$main" no-reference.png

# Stick K's letter cell, in the third row, double-clicked, opens its file window.
click_at "$main" 34 136 2
grab "$(window_named Form3)" file-window.png
xdotool key --window "$(window_named Form3)" alt+F4 2>/dev/null || true

start_demo label
sleep 1
xdotool windowfocus --sync "$main" key F1
dialog="$(window_named "配置选项")"
click_at "$dialog" 200 50
xdotool windowfocus --sync "$dialog" key ctrl+a type --delay 100 "DATA한글"
click_at "$dialog" 251 211
sleep 1
grab "$(window_named "配置选项")" refused-label.png
