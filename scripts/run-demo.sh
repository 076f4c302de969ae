#!/usr/bin/env bash
# Installs what is missing, builds the demo application and runs it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
# LARKUTILS_QT_MAJOR_VERSION=6 builds it on Qt 6 (in build-qt6/ unless BUILD_DIR says otherwise).
QT_MAJOR=${LARKUTILS_QT_MAJOR_VERSION:-5}
if [ "$QT_MAJOR" = 6 ]; then BUILD_DIR=${BUILD_DIR:-build-qt6}; else BUILD_DIR=${BUILD_DIR:-build}; fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKUTILS_QT_MAJOR_VERSION="$QT_MAJOR"
cmake --build "$BUILD_DIR" -j "$(nproc)" --target larkutils_demo
"$BUILD_DIR/examples/larkutils_demo" "$@"
