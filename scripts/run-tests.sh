#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
# BUILD_DIR (default: build) and LARKUTILS_SANITIZE may be set by the caller.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DLARKUTILS_SANITIZE="${LARKUTILS_SANITIZE:-}" -DLARKUTILS_WERROR="${LARKUTILS_WERROR:-OFF}"
cmake --build "$BUILD_DIR" -j "$(nproc)"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
