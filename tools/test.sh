#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   tools/test.sh              the normal build, in build/
#   tools/test.sh --sanitize   AddressSanitizer and UndefinedBehaviorSanitizer, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
    build=build-asan
    options=(-DCMAKE_BUILD_TYPE=Debug -DTX4040_SANITIZE=ON)
fi

cmake -S . -B "$build" "${options[@]}"
cmake --build "$build" -j"$(nproc)"
# One test at a time: the simulated modules keep the wire's timing, and the tests
# check the link's time bounds.
ctest --test-dir "$build" --output-on-failure
