#!/usr/bin/env bash
# Makes docs/demo.png again: dravex-demo on a fresh demo bench in a virtual X display (Xvfb), its window
# grabbed with xwd and converted with netpbm. Needs no display of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
dravex_ensure_packages
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target dravex-demo

scratch="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

tools/demobench.sh build "$scratch/bench"

# Xvfb picks a free display and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 600); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$scratch/display")"

QT_QPA_PLATFORM=xcb build/demo/dravex-demo "$scratch/bench" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 600); do
    xwd -silent -name "DRAVEX---Tavrin" -out "$scratch/window.xwd" 2>/dev/null && break
    sleep 0.1
done
[ -s "$scratch/window.xwd" ] || { echo "the demo window did not appear" >&2; exit 1; }
# Mapped is not yet painted: give the first scan and the first paint a moment, then grab again.
sleep 2
xwd -silent -name "DRAVEX---Tavrin" -out "$scratch/window.xwd"
mkdir -p docs
xwdtopnm <"$scratch/window.xwd" 2>/dev/null | pnmtopng >docs/demo.png
echo "docs/demo.png written"
