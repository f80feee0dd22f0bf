#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them all; each prints its ratios to a baseline measured
# in the same run. Extra arguments go to every benchmark program (e.g. --benchmark_min_time=1).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target tonquill_benchmarks
for program in build/bench/*_bench; do
    echo "== $(basename "$program")"
    "$program" "$@"
done
