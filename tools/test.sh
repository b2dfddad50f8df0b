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
# The tests that measure time run alone (RUN_SERIAL in tests/CMakeLists.txt); the
# others run side by side.
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
