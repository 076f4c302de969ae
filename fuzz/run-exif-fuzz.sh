#!/usr/bin/env bash
# Builds the EXIF fuzz target with Clang and runs it on a working copy of the seed corpus.
# Usage: fuzz/run-exif-fuzz.sh [seconds]   (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-fuzz}
WORK_DIR=${WORK_DIR:-$BUILD_DIR/exif-corpus}
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DLARKUTILS_BUILD_FUZZ=ON \
  -DLARKUTILS_BUILD_TESTS=OFF -DLARKUTILS_BUILD_EXAMPLES=OFF > /dev/null
cmake --build "$BUILD_DIR" --target fuzz_exif_jpeg -j 2
mkdir -p "$WORK_DIR" "$BUILD_DIR/artifacts"
cp -n fuzz/corpus/exif/* "$WORK_DIR"/
# 64 MiB is the most one input may make the reader allocate.
"$BUILD_DIR/fuzz/fuzz_exif_jpeg" -malloc_limit_mb=64 -max_len=70000 -max_total_time="${1:-600}" \
  -artifact_prefix="$BUILD_DIR/artifacts/" -print_final_stats=1 "$WORK_DIR"
