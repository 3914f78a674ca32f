#!/usr/bin/env bash
# Installs the kit as a user would and uses what was installed: the man
# pages checked, a Release build installed into a temporary prefix, then the
# Debian package installed with dpkg, each running the usage and a round trip
# on the sample files, their man pages formatted, and the package removed.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
bash scripts/deps.sh
# man to read the pages, dpkg-shlibdeps to find the package's dependencies.
if ! command -v man >/dev/null || ! command -v preconv >/dev/null \
   || ! command -v dpkg-shlibdeps >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq man-db groff-base dpkg-dev
fi

bash scripts/check-man.sh

build=${BUILD_DIR:-build-install}
package=quickdisk-kit
programs=(Talvret Omblisk Pelgrane Surbeck Wenmark)

scratch=$(mktemp -d)
installed_deb=0
cleanup() {
  if [ "$installed_deb" -eq 1 ]; then $sudo dpkg -r "$package" >/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "check-install: $*" >&2
  exit 1
}

# The pages hold Japanese text, which only a UTF-8 locale can show.
export LC_ALL=C.UTF-8

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKIT_TESTS=OFF
cmake --build "$build" --parallel 2
build=$(cd "$build" && pwd)
[ -f "$build/bin/qdkit" ] && programs+=(qdkit)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

samples=$scratch/samples
mkdir -p "$samples"
"$build/bin/make_samples" "$samples" >/dev/null

# Formats a page and fails on any warning.
read_page() {
  local warnings
  warnings=$(man --warnings -l "$1" 2>&1 >/dev/null) || fail "man cannot format $1"
  [ -z "$warnings" ] || fail "$1: $warnings"
}

# Runs the programs found in $1 (a folder, or "" for the PATH): each one's
# help, version and usage, then the samples through every program and back,
# byte for byte.
use_programs() {
  local bin=$1 work=$2 program out
  mkdir -p "$work"
  for program in "${programs[@]}"; do
    out=$("$bin$program" --help) || fail "$bin$program --help exits $?"
    [ -n "$out" ] || fail "$bin$program --help prints nothing"
    out=$("$bin$program" --version) || fail "$bin$program --version exits $?"
    [[ "$out" == *"$version"* ]] || fail "$bin$program --version prints $out"
    [ "$program" = qdkit ] && continue
    [ "$out" = "$program $version" ] || fail "$bin$program --version prints $out"
    out=$("$bin$program") || fail "$bin$program without arguments exits $?"
    [[ "$out" == *"Usage : $program"* ]] || fail "$bin$program prints no usage: $out"
  done
  (
    cd "$work"
    "${bin}Talvret" "$samples/sample.fds" >/dev/null
    [ "$(stat -c %s sample.DKA)" -eq 143360 ] || fail "Talvret wrote a side of the wrong size"
    "${bin}Omblisk" sample.DKA >/dev/null
    cmp -s sample.fds "$samples/sample.fds" || fail "the FDS image did not come back"
    "${bin}Surbeck" "$samples/sample.mzt" >/dev/null
    [ "$(stat -c %s sample.QDK)" -eq 163840 ] || fail "Surbeck wrote a side of the wrong size"
    "${bin}Pelgrane" -d -m sample.QDK >/dev/null
    cmp -s sample.mzt "$samples/sample.mzt" || fail "the MZT file did not come back"
    "${bin}Wenmark" sample.qdf side.raw >/dev/null
    "${bin}Pelgrane" -m side.raw >/dev/null
    cmp -s side.mzt "$samples/sample.mzt" || fail "the MZT file did not come back through Wenmark"
    if [ -f "$build/bin/qdkit" ]; then
      "${bin}qdkit" verify "$samples/sample.fds" "$samples/sample.mzt" sample.DKA sample.QDK \
        2>/dev/null >verified || fail "qdkit verify fails on the samples: $(cat verified)"
      [ "$(grep -c ': OK$' verified)" -eq 4 ] || fail "qdkit verify says $(cat verified)"
      echo "qdkit verify: 4 samples OK"
    fi
  )
}

# The tree under a prefix.
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for program in "${programs[@]}"; do
  [ -x "$prefix/bin/$program" ] || fail "$program is not installed"
  page=$prefix/share/man/man1/$program.1.gz
  [ -f "$page" ] || page=${page%.gz}
  [ -f "$page" ] || fail "no man page for $program"
  read_page "$page"
done
[ -f "$prefix/share/doc/$package/README.md" ] || fail "no README"
completion=share/bash-completion/completions/qdkit
if [ -f "$build/bin/qdkit" ]; then
  [ -f "$prefix/$completion" ] || fail "no bash completion for qdkit"
  words=$(bash -c 'source "$1"; COMP_WORDS=(qdkit con); COMP_CWORD=1; _qdkit; echo "${COMPREPLY[*]}"' \
    _ "$prefix/$completion")
  [ "$words" = convert ] || fail "the installed completion completes con as '$words'"
fi
use_programs "$prefix/bin/" "$scratch/from-prefix"
echo "install into a prefix: ${#programs[@]} programs, their pages and the README work"

# The Debian package.
(cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null)
deb=$(ls "$scratch"/package/"${package}"_"${version}"_*.deb)
dpkg-deb --field "$deb" Package Version Architecture Depends Section Maintainer
if dpkg -s "$package" >/dev/null 2>&1; then
  echo "note: $package was installed before; it is replaced and then removed"
fi
$sudo dpkg -i "$deb" >/dev/null
installed_deb=1

expected=$scratch/expected
{
  for program in "${programs[@]}"; do
    echo "/usr/bin/$program"
    echo "/usr/share/man/man1/$program.1.gz"
  done
  echo "/usr/share/doc/$package/README.md"
  if [ -f "$build/bin/qdkit" ]; then echo "/usr/$completion"; fi
} | sort >"$expected"
dpkg -L "$package" | while read -r path; do [ -d "$path" ] || echo "$path"; done | sort \
  >"$scratch/held"
diff -u "$expected" "$scratch/held" || fail "the package holds other files than expected"

for program in "${programs[@]}"; do
  [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not on the PATH"
  [ "$(man -w "$program")" = "/usr/share/man/man1/$program.1.gz" ] || fail "man finds no $program"
  read_page "$(man -w "$program")"
done
use_programs "" "$scratch/from-package"

$sudo dpkg -r "$package" >/dev/null
installed_deb=0
[ ! -e /usr/bin/Talvret ] || fail "dpkg -r left /usr/bin/Talvret"
echo "Debian package $(basename "$deb"): installed, used and removed"
