#!/usr/bin/env bash
# Installs what is missing (Debian 12), builds the tool and starts it from
# build/bin, with the local datapoint service in the background. Stops the
# service again when the tool exits.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

cmake -S . -B build
cmake --build build -j"$(nproc)" --target vok-serial-tool vok-datapoint-service

if [ -z "${QT_QPA_PLATFORM:-}" ]; then
    if [ -z "${DISPLAY:-}" ] && [ -n "${WAYLAND_DISPLAY:-}" ]; then
        export QT_QPA_PLATFORM=wayland
    elif [ -z "${DISPLAY:-}" ]; then
        cat >&2 <<'MSG'
No display found ($DISPLAY and $WAYLAND_DISPLAY are empty), so the window
cannot be shown. The tool is built in build/bin. Either start it from a
desktop session, or run it on a virtual screen:

    xvfb-run -a tools/run-tool.sh
MSG
        exit 1
    fi
fi

service_pid=""
stop_service() {
    if [ -n "$service_pid" ]; then
        kill "$service_pid" 2>/dev/null || true
        wait "$service_pid" 2>/dev/null || true
    fi
}
trap stop_service EXIT

build/bin/vok-datapoint-service &
service_pid=$!

build/bin/vok-serial-tool
