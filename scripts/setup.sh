#!/usr/bin/env bash
# Installs everything the build, the tests and the benchmarks need on a fresh Debian machine:
# the Debian packages and the embedded font. Safe to run again; quiet when all is there.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    juce-modules-source   # JUCE 7 modules, CMake package, juceaide, the -dev libraries they use
    cmake ninja-build ccache pkg-config
    g++ clang-14 libclang-rt-14-dev   # compilers; sanitizer and libFuzzer runtimes
    libgtest-dev libbenchmark-dev
    libfreetype-dev libfontconfig1-dev libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev
    libxext-dev libasound2-dev
    xvfb xauth           # a display for window tests
)

missing=()
command -v npm >/dev/null || missing+=(npm)   # fetches the font package
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

scripts/fetch-font.sh
