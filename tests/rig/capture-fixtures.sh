#!/usr/bin/env bash
# Captures the fixture trees tests/data/sysroots/rig-* from a real kernel: boots the rig, plugs the
# situations that tests/rig/capturemain.cpp describes, captures each with capture-sysroot.sh and puts the
# cases into tests/data/sysroots (replacing the earlier captures).
#
#   tests/rig/capture-fixtures.sh <build folder>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: $0 <build folder>}" && pwd)"
cmake --build "$build" --target rig_capture
rm -rf "$build/rig/captures"
mkdir -p "$build/rig/captures"
"$here/rig.sh" --time-limit 1500 "$build" "$build/tests/rig/rig_capture" "$build/rig/captures"
for case in "$build"/rig/captures/*/; do
    name="$(basename "$case")"
    rm -rf "$here/../data/sysroots/$name"
    cp -a "$case" "$here/../data/sysroots/$name"
    echo "captured $name"
done
