#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb server that ends with it.
set -euo pipefail
# Qt wants a runtime folder of its own.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
fi
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -t 10 number <&3 || { echo "Xvfb did not start" >&2; exit 1; }
trap 'kill $xvfb 2>/dev/null || true' EXIT
DISPLAY=:$number "$@"
