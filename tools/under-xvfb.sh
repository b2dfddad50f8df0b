#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb server that ends with it; the screen
# is large enough for the window at twice its size.
set -euo pipefail
# Qt wants a runtime folder of its own; one made here goes at the end.
runtime=
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    runtime=$(mktemp -d)
    export XDG_RUNTIME_DIR=$runtime
fi
exec 3< <(Xvfb -displayfd 1 -screen 0 2048x1536x24 -nolisten tcp 2>/dev/null)
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; [ -z "$runtime" ] || rm -rf "$runtime"' EXIT
read -r -t 10 number <&3 || { echo "Xvfb did not start" >&2; exit 1; }
status=0
DISPLAY=:$number "$@" || status=$?
exit $status
