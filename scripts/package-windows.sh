#!/usr/bin/env bash
# Makes the Windows zip: the programs' .exe files from the cross-build, the
# README and every man page as plain text, all with Windows line ends.
#   ARCH=i686 for the 32-bit build; BUILD_DIR for another build folder.
# Runs scripts/build-windows.sh first when the build lacks any of the six.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=${ARCH:-x86_64}
case "$arch" in
  x86_64) build=${BUILD_DIR:-build-windows} platform=win64 triplet=x86_64-w64-mingw32 ;;
  i686) build=${BUILD_DIR:-build-windows32} platform=win32 triplet=i686-w64-mingw32 ;;
  *) echo "ARCH must be x86_64 or i686" >&2; exit 2 ;;
esac

programs=(Talvret Omblisk Pelgrane Surbeck Wenmark qdkit)
for program in "${programs[@]}"; do
  if [ ! -f "$build/bin/$program.exe" ]; then
    ARCH=$arch BUILD_DIR=$build bash scripts/build-windows.sh
    break
  fi
done

missing=()
command -v zip >/dev/null || missing+=(zip)
{ command -v man >/dev/null && command -v preconv >/dev/null; } || missing+=(man-db groff-base)
command -v col >/dev/null || missing+=(bsdextrautils)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq "${missing[@]}"
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
name=quickdisk-kit-$version-$platform

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name/man"

crlf() { sed 's/\r*$/\r/'; }

for program in "${programs[@]}"; do
  exe=$build/bin/$program.exe
  [ -f "$exe" ] || { echo "$exe is missing" >&2; exit 1; }
  cp "$exe" "$stage/$name/"
  # Debugging symbols are of no use to the zip's users.
  if command -v "$triplet-strip" >/dev/null; then "$triplet-strip" "$stage/$name/$program.exe"; fi
  # The pages hold Japanese text: formatted in UTF-8, 80 columns wide,
  # unhyphenated and ragged right as plain text reads best.
  LC_ALL=C.UTF-8 MANWIDTH=80 man --nh --nj -l "man/$program.1" 2>/dev/null | col -bx | crlf \
    >"$stage/$name/man/$program.txt"
  [ -s "$stage/$name/man/$program.txt" ] || { echo "man/$program.1 gave no text" >&2; exit 1; }
done
crlf <README.md >"$stage/$name/README.md"

zipfile=$PWD/$build/$name.zip
rm -f "$zipfile"
(cd "$stage" && zip -q -r -X "$zipfile" "$name")
unzip -l "$zipfile"
echo "$zipfile"
