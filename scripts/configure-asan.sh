#!/usr/bin/env bash
# Configures the clang build with AddressSanitizer and UndefinedBehaviorSanitizer that both the
# sanitized test suite and the fuzzers use: scripts/configure-asan.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang-14 CXX=clang++-14 cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTONQUILL_SANITIZE=address -DTONQUILL_BUILD_FUZZERS=ON -DTONQUILL_BUILD_BENCHMARKS=OFF >/dev/null
