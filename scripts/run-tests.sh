#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
# LARKUTILS_QT_MAJOR_VERSION (5, the default, or 6) picks Qt; BUILD_DIR (default build, or build-qt6
# for Qt 6) and LARKUTILS_SANITIZE may be set by the caller. The Qt 6 run also installs the Qt 5
# build of build/, when there is one, into the same prefix as its own (consumer test).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
QT_MAJOR=${LARKUTILS_QT_MAJOR_VERSION:-5}
if [ "$QT_MAJOR" = 6 ]; then default_dir=build-qt6; other_dir=build; else default_dir=build; other_dir=build-qt6; fi
BUILD_DIR=${BUILD_DIR:-$default_dir}
coinstall=""
if [ "$QT_MAJOR" = 6 ] && [ -f "$other_dir/CMakeCache.txt" ] && [ "$(realpath "$other_dir")" != "$(realpath -m "$BUILD_DIR")" ]; then
  coinstall=$(realpath "$other_dir")
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKUTILS_QT_MAJOR_VERSION="$QT_MAJOR" \
      -DLARKUTILS_SANITIZE="${LARKUTILS_SANITIZE:-}" -DLARKUTILS_WERROR="${LARKUTILS_WERROR:-OFF}" \
      -DLARKUTILS_COINSTALL_BUILD_DIR="$coinstall"
cmake --build "$BUILD_DIR" -j "$(nproc)"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
