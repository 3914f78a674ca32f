#!/usr/bin/env bash
# Renders an SVG (a side map of qdkit) to a PNG in a headless browser, as a
# browser shows it, WIDTH pixels wide (1200), its height in proportion.
#   scripts/render-svg.sh IN.svg OUT.png [WIDTH]
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 IN.svg OUT.png [WIDTH]" >&2
  exit 2
fi
in=$(realpath "$1")
out=$(realpath -m "$2")
width=${3:-1200}
[ -f "$in" ] || { echo "$0: $1: no such file" >&2; exit 1; }
bash "$(dirname "$0")/deps.sh" chromium

# The picture's own size, from the first width and height attributes; the
# browser scales it to the width asked for.
# (The whole picture may be one line: take the first match of all.)
size() {
  local found
  found=$(grep -o "$1=\"[0-9.]*\"" "$in" || true)
  found=${found%%$'\n'*}
  echo "$found" | tr -dc '0-9.'
}
svgwidth=$(size width)
svgheight=$(size height)
svgwidth=${svgwidth:-1200}
svgheight=${svgheight:-800}
scale=$(awk -v w="$width" -v sw="$svgwidth" 'BEGIN { printf "%.4f", w / sw }')

# A fresh profile every time, so that nothing of a former run leaks in.
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
rm -f "$out"
# Root needs --no-sandbox; the rest keeps the browser off the network.
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --hide-scrollbars --force-device-scale-factor="$scale" --user-data-dir="$profile" \
  --screenshot="$out" --window-size="${svgwidth%.*},${svgheight%.*}" "file://$in" \
  >"$profile.log" 2>&1 || { cat "$profile.log" >&2; rm -f "$profile.log"; exit 1; }
rm -f "$profile.log"
[ -s "$out" ] || { echo "$0: the browser made no picture" >&2; exit 1; }
echo "$out"
