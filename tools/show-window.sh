#!/usr/bin/env bash
# On the current DISPLAY: starts the window, waits for it, saves a picture of it to
# $1, and closes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
build/bin/tx4040-config &
program=$!
trap 'kill $program 2>/dev/null || true' EXIT
window=$(timeout 20 xdotool search --sync --name '^VANTREL TX4040' | head -n 1)
sleep 0.5 # the first paint
build/bin/tx4040-screenshot "$1" "$window"
kill -TERM $program
wait $program
