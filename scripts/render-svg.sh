#!/usr/bin/env bash
# Renders an SVG (a side map of qdkit) to a PNG with rsvg-convert, the small
# SVG renderer of librsvg, WIDTH pixels wide (1200), its height in proportion.
#   scripts/render-svg.sh IN.svg OUT.png [WIDTH]
# Where rsvg-convert is missing it installs it (Debian's librsvg2-bin, about
# 6 MB beside the library most desktops already have), says what
# it installs first, and never upgrades an installed package: the renderer
# comes at the version of the library already there.
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 IN.svg OUT.png [WIDTH]" >&2
  exit 2
fi
in=$1
out=$2
width=${3:-1200}
[ -f "$in" ] || { echo "$0: $in: no such file" >&2; exit 1; }
case "$width" in
  '' | *[!0-9]*) echo "$0: the width must be a number of pixels, not $width" >&2; exit 2 ;;
esac

# Installs the renderer alone, or says why it will not.
install_renderer() {
  local sudo="" package=librsvg2-bin library plan upgrades new space
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  command -v apt-get >/dev/null || { echo "$0: rsvg-convert is missing; install it" >&2; exit 1; }
  # The renderer and its library are one source package, at one version.
  library=$(dpkg-query -W -f='${Status} ${Version}' librsvg2-2 2>/dev/null || true)
  [[ "$library" == "install ok installed "* ]] && package="librsvg2-bin=${library##* }"
  plan=$(apt-get install -s --no-install-recommends "$package" 2>/dev/null) || {
    $sudo apt-get update -qq
    plan=$(apt-get install -s --no-install-recommends "$package")
  }
  # A simulation marks an upgrade with the installed version in brackets.
  upgrades=$(sed -n 's/^Inst \([^ ]*\) \[.*/\1/p' <<<"$plan" | tr '\n' ' ')
  if [ -n "$upgrades" ]; then
    echo "$0: installing rsvg-convert would upgrade ${upgrades% }; install it yourself" >&2
    exit 1
  fi
  new=$(sed -n 's/^Inst \([^ ]*\) .*/\1/p' <<<"$plan" | tr '\n' ' ')
  space=$(LC_ALL=C apt-get install --assume-no --no-install-recommends "$package" 2>/dev/null |
    sed -n 's/^After this operation, \(.*\) of additional disk space will be used\./\1/p' || true)
  echo "Installing ${new% } for rsvg-convert${space:+ ($space)}; nothing installed is upgraded" >&2
  $sudo apt-get install -y -qq --no-install-recommends "$package" >/dev/null
}

command -v rsvg-convert >/dev/null || install_renderer
rm -f "$out"
rsvg-convert --width "$width" --keep-aspect-ratio --format png --output "$out" "$in"
[ -s "$out" ] || { echo "$0: rsvg-convert made no picture" >&2; exit 1; }
echo "$out"
