#!/usr/bin/env bash
# Compares the ABI of the built libraries with the baselines in abi/ (libabigail).
#   scripts/abi-check.sh [build-dir]            fails on an incompatible change (Qt 5 or Qt 6 build)
#   scripts/abi-check.sh [build-dir] --update   writes new baselines (a release that changes the
#                                               SOVERSION, or a deliberate new baseline)
# Changes inside the private data classes (abi/suppressions.ini) do not count.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
MODE=${2:-check}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
# A Qt 6 build's libraries are libLarkUtils6 and libLogwell6, with baselines of their own.
suffix=""
if grep -q '^LARKUTILS_QT_MAJOR_VERSION:[A-Z]*=6$' "$BUILD_DIR/CMakeCache.txt" 2>/dev/null; then suffix=6; fi
for lib in LarkUtils$suffix Logwell$suffix; do
  so=$(find "$BUILD_DIR" -name "lib$lib.so" -not -path '*/tests/*' | head -n 1)
  baseline="abi/lib$lib.abi"
  soname=$(readelf -d "$so" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
  if [ "$MODE" = "--update" ]; then
    mkdir -p abi
    abidw --no-show-locs --no-corpus-path --out-file "$baseline" "$so"
    echo "abi: $baseline written for $soname"
    continue
  fi
  if [ ! -f "$baseline" ]; then
    echo "abi: no baseline $baseline (scripts/abi-check.sh $BUILD_DIR --update)"; status=1; continue
  fi
  base_soname=$(sed -n "1s/.*soname='\([^']*\)'.*/\1/p" "$baseline")
  if [ "$soname" != "$base_soname" ]; then
    echo "abi: $lib is $soname but its baseline is $base_soname: update the baseline with the SOVERSION"
    status=1; continue
  fi
  set +e
  abidiff --suppressions abi/suppressions.ini --no-added-syms "$baseline" "$so" > "$work/diff.txt"
  rc=$?
  set -e
  if (( rc & 1 || rc & 2 )); then
    echo "abi: abidiff failed on $lib ($rc)"; cat "$work/diff.txt"; status=1
  elif (( rc & 4 || rc & 8 )); then
    # Added functions are filtered out; anything else that changed breaks applications.
    echo "abi: $soname changed against $baseline:"; cat "$work/diff.txt"; status=1
  else
    echo "abi: $soname matches its baseline"
  fi
done
exit $status
