#!/usr/bin/env bash
# Installs what is missing, builds, and opens the window, on a private configuration
# folder (never your own ~/.config). Without a display it runs the window under Xvfb
# and writes a screenshot to build/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

demo=${TX4040_DEMO_HOME:-/tmp/tx4040-demo}
mkdir -p "$demo"
export XDG_CONFIG_HOME=$demo

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/bin/tx4040-config
fi

screenshot=$PWD/build/screenshot.png
tools/under-xvfb.sh tools/show-window.sh "$screenshot"
echo "no display: the window ran under Xvfb; screenshot: $screenshot"
