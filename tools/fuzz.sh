#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) in build-fuzz/ and runs each
# from its committed seed corpus.
#   tools/fuzz.sh                 every target for 60 s
#   tools/fuzz.sh -t 600          every target for 600 s
#   tools/fuzz.sh -r 10000000     every target for 10 million inputs
#   tools/fuzz.sh fuzz_mode_string ...   only those targets
# Inputs that a run adds to the corpus stay in build-fuzz/corpus/; a finding is written
# to build-fuzz/findings/ and makes the script fail. tests/fuzz/<target>.options holds
# further libFuzzer options of a target.
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-max_total_time=60)
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
    -t) limit=(-max_total_time="$2"); shift 2 ;;
    -r) limit=(-runs="$2"); shift 2 ;;
    *) targets+=("$1"); shift ;;
    esac
done

tools/install-deps.sh clang libclang-rt-14-dev

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTX4040_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_targets -j"$(nproc)"
[ ${#targets[@]} -gt 0 ] || targets=($(cd tests/fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//'))

mkdir -p "$build/findings"
for target in "${targets[@]}"; do
    work="$build/corpus/$target"
    mkdir -p "$work"
    echo "== $target"
    # Options of a target's own, such as the longest input worth trying.
    options=()
    [ -f "tests/fuzz/$target.options" ] && read -ra options <"tests/fuzz/$target.options"
    # The whole output goes to build-fuzz/<target>.log; the summary lines show here.
    "$build/bin/$target" "${limit[@]}" "${options[@]}" -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" \
        "$work" "tests/fuzz/corpus/$target" >"$build/$target.log" 2>&1 || true
    grep -E '^(stat::number_of_executed_units|SUMMARY|Done)|ERROR' "$build/$target.log" || true
    # Whatever the exit status, a finding leaves its file behind.
    if ls "$build/findings/$target-"* >/dev/null 2>&1; then
        echo "$target: finding in $build/findings/" >&2
        exit 1
    fi
done
