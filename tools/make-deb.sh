#!/usr/bin/env bash
# Installs what is missing (Debian 12), builds the tool in build/ and packs the
# programs into a Debian package there: build/vok-serial-tool_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

cmake -S . -B build
cmake --build build -j"$(nproc)" --target vok-serial-tool vok-module-sim vok-datapoint-service
cd build
cpack -G DEB
