#!/usr/bin/env bash
# Fetches the OFL "Jura SemiBold" TrueType from its npm package and checks it byte for byte.
# The font is not committed; the build embeds resources/fonts/JuraSemiBold.ttf.
set -euo pipefail
cd "$(dirname "$0")/.."

package="@expo-google-fonts/jura@0.4.2"
member="package/600SemiBold/Jura_600SemiBold.ttf"
expected="dc2d1a4e209724578265c7ff8780d97d7b9ecdd39bf8bbae3ed5bbe061a5bf5a"
target="resources/fonts/JuraSemiBold.ttf"

have_font() { [ -f "$target" ] && echo "$expected  $target" | sha256sum --check --status; }
have_font && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "$package" >/dev/null)
tar -xzf "$work"/*.tgz -C "$work" "$member"
mkdir -p "$(dirname "$target")"
cp "$work/$member" "$target.part"
if ! echo "$expected  $target.part" | sha256sum --check --status; then
    rm -f "$target.part"
    echo "fetch-font: $package does not hold the expected font (sha256 mismatch)" >&2
    exit 1
fi
mv "$target.part" "$target"
echo "fetch-font: $target"
