#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12), configures, builds
# and runs every test.  --sanitize builds with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-sanitize/ instead of build/.
# --fuzz SECONDS then runs every fuzz target for SECONDS (tools/run-fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=OFF
build_dir=build
fuzz_seconds=""
usage() { echo "usage: $0 [--sanitize] [--fuzz SECONDS]" >&2; exit 2; }
while (($#)); do
    case "$1" in
        --sanitize) sanitize=ON; build_dir=build-sanitize ;;
        --fuzz) (($# >= 2)) || usage; fuzz_seconds=$2; shift ;;
        *) usage ;;
    esac
    shift
done

tools/install-deps.sh

cmake -S . -B "$build_dir" -DVOK_SANITIZE="$sanitize"
cmake --build "$build_dir" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
# Allocations Qt's platform plugin keeps until exit are not ours.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$build_dir" && ctest --output-on-failure -j"$(nproc)")

if [ -n "$fuzz_seconds" ]; then
    tools/run-fuzz.sh "$fuzz_seconds"
fi
