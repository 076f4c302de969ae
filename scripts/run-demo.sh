#!/usr/bin/env bash
# Installs what is missing, builds the demo application and runs it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD_DIR" -j "$(nproc)" --target larkutils_demo
"$BUILD_DIR/examples/larkutils_demo" "$@"
