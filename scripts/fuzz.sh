#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14 with address and undefined-behaviour sanitizers) and runs
# each for a bounded time.
#
#   scripts/fuzz.sh [SECONDS] [NAME ...]
#
# SECONDS per target (default 60). Every executable <build>/fuzz/<name>_fuzzer is run (or only the
# NAMEs given), starting from its seed corpus tests/fuzz/corpus/<name> and the dictionary
# tests/fuzz/<name>.dict when present. Inputs it finds are kept in <build>/fuzz/corpus/<name>, a
# crashing input in <build>/fuzz/artifacts/<name>/, its output in <build>/fuzz/<name>.log.
# Undefined behaviour known inside JUCE is passed over through tests/fuzz/ubsan.supp.
# The build folder is build-asan (the same configuration scripts/test.sh tests under the address
# sanitizer, so one clang build serves both), or TONQUILL_FUZZ_BUILD_DIR. Exits non-zero when a
# target fails.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
(($# > 0)) && shift
build="${TONQUILL_FUZZ_BUILD_DIR:-build-asan}"

scripts/configure-asan.sh "$build"
cmake --build "$build" --target fuzzers

# The targets write files for every input: give them a private folder, in memory when possible.
scratch=$(mktemp -d /dev/shm/tonquill-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT

passed=0
failed=0
shopt -s nullglob
for exe in "$build"/fuzz/*_fuzzer; do
    name=$(basename "$exe" _fuzzer)
    if (($# > 0)) && [[ " $* " != *" $name "* ]]; then
        continue
    fi
    corpus="$build/fuzz/corpus/$name"
    artifacts="$build/fuzz/artifacts/$name/"
    log="$build/fuzz/$name.log"
    mkdir -p "$corpus" "$artifacts"
    args=(-max_total_time="$seconds" -timeout=30 -max_len=16384 -print_final_stats=1
          -artifact_prefix="$artifacts" "$corpus")
    [[ -d tests/fuzz/corpus/$name ]] && args+=("tests/fuzz/corpus/$name")
    [[ -f tests/fuzz/$name.dict ]] && args=(-dict="tests/fuzz/$name.dict" "${args[@]}")

    echo "fuzz: running $name for ${seconds}s"
    if TMPDIR="$scratch" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/tests/fuzz/ubsan.supp" \
        "$exe" "${args[@]}" >"$log" 2>&1; then
        passed=$((passed + 1))
        grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
        echo "fuzz: $name found nothing ($(find "$corpus" -type f | wc -l) inputs in its corpus)"
    else
        failed=$((failed + 1))
        tail -n 60 "$log"
        echo "fuzz: $name FAILED; crashing input in $artifacts, full output in $log"
    fi
done

echo "fuzz: $passed passed, $failed failed"
((failed == 0))
