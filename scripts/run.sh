#!/usr/bin/env bash
# Sets everything up, builds in Release, installs the plug-in into ~/.vst3 (and tonquill-bus into
# ~/.local/bin) and shows it working: a headless VST3 host plays a test tone through the installed
# bundle on bus A while tonquill-bus, attached as the receiver, shows the voice arriving.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target install_plugin tonquill-demo

bus="$HOME/.local/bin/tonquill-bus"
"$build/tools/demo/tonquill-demo" --seconds 4 &
demo=$!
# The plug-in creates bus A's region when the host loads it.
for _ in $(seq 100); do
    "$bus" status | grep -q '^A .*current' && break
    sleep 0.05
done
echo "tonquill-bus listen A (for 3 s):"
timeout -s INT 3 "$bus" listen A || true
echo
wait "$demo"
