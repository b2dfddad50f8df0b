#!/usr/bin/env bash
# On the current DISPLAY, with a simulated module running in $XDG_CONFIG_HOME (run by
# `tx4040-sim ... --`, which preloads the pty line library): starts the window, clears
# the lock box, clicks "Scan Module", waits until the scan has read the module, saves a
# picture of the window to $1 and closes it.
set -euo pipefail
cd "$(dirname "$0")/.."
build/bin/tx4040-config &
program=$!
trap 'kill $program 2>/dev/null || true' EXIT
window=$(timeout 20 xdotool search --sync --name '^VANTREL TX4040' | head -n 1)
sleep 0.5
# Places within the window: the lock box, then the scan button.
xdotool mousemove --window "$window" 344 204 click 1
xdotool mousemove --window "$window" 180 94 click 1
for _ in $(seq 200); do
    grep -q 'rx .*B00A' "$XDG_CONFIG_HOME/trace.txt" 2>/dev/null && break
    sleep 0.1
done
sleep 1 # the end of the scan: lamp and tone
build/bin/tx4040-screenshot "$1" "$window"
kill -TERM $program
wait $program
