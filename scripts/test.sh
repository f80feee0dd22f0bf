#!/usr/bin/env bash
# Builds and runs every test: the Release suite (window tests under Xvfb), the same suite under
# AddressSanitizer with UndefinedBehaviorSanitizer, each libFuzzer target for a short bounded time,
# then the concurrency tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
jobs=$(nproc)

echo "== Release build and test suite"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== The suite under AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/configure-asan.sh build-asan
cmake --build build-asan
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== Fuzzing: each target for a short bounded time"
scripts/fuzz.sh "${TONQUILL_FUZZ_SECONDS:-20}"

echo "== Concurrency tests under ThreadSanitizer"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTONQUILL_SANITIZE=thread -DTONQUILL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-tsan --target voicebus_tests
TSAN_OPTIONS="halt_on_error=1" ctest --test-dir build-tsan --output-on-failure -R voicebus_tests
