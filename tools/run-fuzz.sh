#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (build folder build-fuzz/) and runs each for
# SECONDS (default 60) from its seed corpus in tests/fuzz/corpus/. Inputs
# the fuzzer finds on the way stay in build-fuzz/corpus/; any crash,
# sanitizer report or broken check fails the run and leaves the input in
# build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
case "$seconds" in
    ''|*[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;;
esac

cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DVOK_SANITIZE=ON -DVOK_FUZZ=ON
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets

# Leak checks stay off as in the tests: Qt builds some of its globals on
# first use and keeps them, which a per-input leak check reports.
export ASAN_OPTIONS="detect_leaks=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p build-fuzz/findings
for seeds in tests/fuzz/corpus/*/; do
    name=$(basename "$seeds")
    mkdir -p "build-fuzz/corpus/$name"
    echo "== fuzz_$name for $seconds s"
    build-fuzz/bin/"fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$name-" \
        "build-fuzz/corpus/$name" "$seeds"
done
