#!/usr/bin/env bash
# Sets everything up, builds the plug-in in Release, installs it into ~/.vst3 and shows it working:
# a headless VST3 host plays a test tone through the installed bundle while a receiver reads bus A.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target install_plugin tonquill-demo
"$build/tools/demo/tonquill-demo" "$@"
