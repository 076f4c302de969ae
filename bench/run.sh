#!/usr/bin/env bash
# Builds the benchmarks (optimised) and runs them; each prints its figures and ratios.
# Usage: bench/run.sh [name-filter]; LARKUTILS_QT_MAJOR_VERSION=6 (and another BUILD_DIR) for Qt 6.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh --bench
BUILD_DIR=${BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLARKUTILS_BUILD_BENCH=ON \
      -DLARKUTILS_QT_MAJOR_VERSION="${LARKUTILS_QT_MAJOR_VERSION:-5}" \
      -DLARKUTILS_BUILD_TESTS=OFF -DLARKUTILS_BUILD_EXAMPLES=OFF > /dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
for bench in "$BUILD_DIR"/bench/bench_*; do
  [ -x "$bench" ] || continue
  case "$(basename "$bench")" in *"${1:-}"*) ;; *) continue ;; esac
  echo "== $(basename "$bench")"
  QT_QPA_PLATFORM=offscreen "$bench"
done
