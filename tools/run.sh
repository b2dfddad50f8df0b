#!/usr/bin/env bash
# Installs what is missing, builds, and opens the window on a simulated module: a
# TX4040 on COM3 at 38400,e,8,1 (clear the lock box beside the baud-rate list to let
# the scan search every setting). Everything lives in a private configuration folder,
# never your own ~/.config, and goes when the window closes. Without a display the
# window runs under Xvfb, a scan is made there, and a screenshot is written to
# build/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what runs here: the window, the simulated module and the pty line library it
# preloads, and without a display the screenshot tool; not the tests.
targets=(tx4040-config tx4040-sim tx4040_ptyline)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    targets+=(tx4040-screenshot)
fi
cmake --build build -j"$(nproc)" --target "${targets[@]}"

XDG_CONFIG_HOME=$(mktemp -d /tmp/tx4040-demo.XXXXXX)
export XDG_CONFIG_HOME
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
# The simulator runs the window beside the module, with the pty line library that lets
# the pseudo-terminal carry parity (see the README), and ends with it.
simulated=(build/bin/tx4040-sim --port 3 --setting 38400,e,8,1 --trace "$XDG_CONFIG_HOME/trace.txt" --)
echo "simulated module on COM3 at 38400,e,8,1"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "${simulated[@]}" build/bin/tx4040-config
    exit 0
fi

screenshot=$PWD/build/screenshot.png
tools/under-xvfb.sh "${simulated[@]}" tools/demo-scan.sh "$screenshot"
echo "no display: the window ran under Xvfb and scanned; screenshot: $screenshot"
