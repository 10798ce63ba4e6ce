#!/usr/bin/env bash
# Installs what is missing (Debian 12), builds the tool and starts it from
# build/bin, with the local datapoint service in the background. Stops the
# service again when the tool exits.
#
# --demo: also starts a simulated Wi-Fi module on a pseudo-terminal and opens
# the tool on the MCU page, with the sample product key stored and the
# module's port opened. The tool runs as a portable copy in a temporary
# folder, so the demo leaves build/bin's settings (the product key) alone.
set -euo pipefail
cd "$(dirname "$0")/.."

demo=false
for arg in "$@"; do
    case "$arg" in
        --demo) demo=true ;;
        *) echo "usage: $0 [--demo]" >&2; exit 2 ;;
    esac
done

sample_key=5f0c2e7d9b1a4c83a6e2d4f7b8c90e15
targets=(vok-serial-tool vok-datapoint-service)
$demo && targets+=(vok-module-sim)

tools/install-deps.sh

cmake -S . -B build
cmake --build build -j"$(nproc)" --target "${targets[@]}"

if [ -z "${QT_QPA_PLATFORM:-}" ]; then
    if [ -z "${DISPLAY:-}" ] && [ -n "${WAYLAND_DISPLAY:-}" ]; then
        export QT_QPA_PLATFORM=wayland
    elif [ -z "${DISPLAY:-}" ]; then
        cat >&2 <<MSG
No display found (\$DISPLAY and \$WAYLAND_DISPLAY are empty), so the window
cannot be shown. The tool is built in build/bin. Either start it from a
desktop session, or run it on a virtual screen:

    xvfb-run -a $0 $*
MSG
        exit 1
    fi
fi

pids=()
work_dir=$(mktemp -d)
stop_all() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work_dir"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# Waits until the file has a first line, or fails if the program behind pid
# ended without writing one.
first_line() {
    local file=$1 pid=$2
    for _ in $(seq 100); do
        if [ -s "$file" ] && [ "$(wc -l < "$file")" -gt 0 ]; then
            head -n 1 "$file"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    return 1
}

build/bin/vok-datapoint-service > >(tee "$work_dir/service.log") &
pids+=($!)
if ! first_line "$work_dir/service.log" "${pids[-1]}" > /dev/null; then
    echo "The datapoint service did not start (is port 8125 taken?)." >&2
    exit 1
fi

if ! $demo; then
    build/bin/vok-serial-tool &
    pids+=($!)
    wait "${pids[-1]}"
    exit
fi

# The portable copy: the tool uses the settings file beside itself.
cp build/bin/vok-serial-tool build/bin/auto_analyze.ini "$work_dir/"
cp -r build/bin/image "$work_dir/"
mkdir "$work_dir/json"

build/bin/vok-module-sim --pty --demo \
    --definition "build/bin/datapoints/$sample_key.json" > >(tee "$work_dir/module.log") &
pids+=($!)
if ! port=$(first_line "$work_dir/module.log" "${pids[-1]}"); then
    echo "The module simulator did not start." >&2
    exit 1
fi

"$work_dir/vok-serial-tool" --product-key "$sample_key" --page mcu --port "$port" --open &
pids+=($!)
wait "${pids[-1]}"
