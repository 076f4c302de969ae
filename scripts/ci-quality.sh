#!/usr/bin/env bash
# The quality passes of CI, after the plain build and test run:
#  0. the ABI of both libraries (Qt 5 and Qt 6 builds) against the baselines in abi/, and the
#     reference with no doxygen warning;
#  1. the whole suite built with AddressSanitizer + UndefinedBehaviorSanitizer (leaks on);
#  2. the thread, watcher and mirror tests built with ThreadSanitizer;
#  3. the library, the demo and the EXIF fuzz target built with Clang, warnings as errors;
#  4. the fuzz corpus replayed, then a short fuzzing run.
# Every sanitizer report fails its test, so any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-180}

stamp() { date +%s; }
report() { echo "== $1: $(( $(stamp) - $2 )) s"; }

t=$(stamp)
bash scripts/abi-check.sh build
bash scripts/abi-check.sh build-qt6
cmake --build build --target docs
if [ -s build/docs/warnings.txt ]; then
  echo "doxygen warnings:"; cat build/docs/warnings.txt; exit 1
fi
report "ABI check and reference" "$t"

t=$(stamp)
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKUTILS_WERROR=ON \
      -DLARKUTILS_SANITIZE="address;undefined" -DLARKUTILS_BUILD_EXAMPLES=ON > /dev/null
cmake --build build-asan -j "$JOBS"
ctest --test-dir build-asan --output-on-failure -j "$JOBS"
report "address and undefined-behaviour sanitizers" "$t"

t=$(stamp)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKUTILS_WERROR=ON \
      -DLARKUTILS_SANITIZE=thread -DLARKUTILS_BUILD_EXAMPLES=OFF > /dev/null
# Only what the labelled tests need (the *_qt tests run the watcher programs on another back end).
mapfile -t tsan_tests < <(ctest --test-dir build-tsan -N -L 'threads|watcher' | sed -n 's/^ *Test *#[0-9]*: //p' \
                          | sed 's/_qt$//' | sort -u)
if [ ${#tsan_tests[@]} -gt 0 ]; then
  cmake --build build-tsan -j "$JOBS" --target "${tsan_tests[@]}"
  ctest --test-dir build-tsan --output-on-failure -j "$JOBS" -L 'threads|watcher'
fi
report "thread sanitizer (${#tsan_tests[@]} tests)" "$t"

t=$(stamp)
cmake -S . -B build-clang -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DLARKUTILS_WERROR=ON -DLARKUTILS_BUILD_TESTS=OFF \
      -DLARKUTILS_BUILD_EXAMPLES=ON -DLARKUTILS_BUILD_FUZZ=ON > /dev/null
cmake --build build-clang -j "$JOBS"
report "clang build (library, demo, fuzz target)" "$t"

t=$(stamp)
fuzzer=build-clang/fuzz/fuzz_exif_jpeg
# Every seed once (-runs=0 replays the corpus and stops), then a short run on a working copy.
"$fuzzer" -malloc_limit_mb=64 -runs=0 fuzz/corpus/exif
work=build-clang/exif-corpus
rm -rf "$work" && mkdir -p "$work" build-clang/artifacts && cp fuzz/corpus/exif/* "$work"/
"$fuzzer" -malloc_limit_mb=64 -max_len=70000 -max_total_time="$FUZZ_SECONDS" \
  -artifact_prefix=build-clang/artifacts/ -print_final_stats=1 "$work" 2>&1 | tail -n 20
report "fuzz replay and ${FUZZ_SECONDS} s run" "$t"
