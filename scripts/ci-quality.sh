#!/usr/bin/env bash
# The quality passes of CI, after the plain build and test run:
#  1. the whole suite built with AddressSanitizer + UndefinedBehaviorSanitizer (leaks on);
#  2. the thread, watcher and mirror tests built with ThreadSanitizer;
#  3. the library and the EXIF fuzz target built with Clang, warnings as errors; the fuzz corpus
#     replayed, then a short fuzzing run.
# Every sanitizer report fails its test, so any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-180}

stamp() { date +%s; }
report() { echo "== $1: $(( $(stamp) - $2 )) s"; }

t=$(stamp)
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKUTILS_WERROR=ON \
      -DLARKUTILS_SANITIZE="address;undefined" -DLARKUTILS_BUILD_EXAMPLES=OFF > /dev/null
cmake --build build-asan -j "$JOBS"
ctest --test-dir build-asan --output-on-failure -j "$JOBS"
report "address and undefined-behaviour sanitizers" "$t"

t=$(stamp)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKUTILS_WERROR=ON \
      -DLARKUTILS_SANITIZE=thread -DLARKUTILS_BUILD_EXAMPLES=OFF > /dev/null
# Only what the labelled tests need.
mapfile -t tsan_tests < <(ctest --test-dir build-tsan -N -L 'threads|watcher' | sed -n 's/^ *Test *#[0-9]*: //p')
if [ ${#tsan_tests[@]} -gt 0 ]; then
  cmake --build build-tsan -j "$JOBS" --target "${tsan_tests[@]}"
  ctest --test-dir build-tsan --output-on-failure -j "$JOBS" -L 'threads|watcher'
fi
report "thread sanitizer (${#tsan_tests[@]} tests)" "$t"

t=$(stamp)
cmake -S . -B build-clang -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DLARKUTILS_WERROR=ON -DLARKUTILS_BUILD_TESTS=OFF -DLARKUTILS_BUILD_EXAMPLES=ON \
      -DLARKUTILS_BUILD_FUZZ=ON > /dev/null
cmake --build build-clang -j "$JOBS"
if [ -x fuzz/run.sh ]; then
  BUILD_DIR=build-clang FUZZ_SECONDS="$FUZZ_SECONDS" bash fuzz/run.sh
fi
report "clang build, fuzz replay and run" "$t"
