#!/usr/bin/env bash
# Builds the kit, makes its sample images and runs the main jobs on them:
# an FDS image to a raw side and back, and an MZT file around the QD loop.
set -euo pipefail
cd "$(dirname "$0")/.."
# The build test.sh uses too (scripts/build.sh), its programs alone for now.
build=${BUILD_DIR:-build}
BUILD_DIR=$build TARGETS="Talvret Omblisk Pelgrane Surbeck Wenmark qdkit make_samples" \
  bash scripts/build.sh >/dev/null
bin=$PWD/$build/bin

rm -rf demo && mkdir -p demo/fds demo/qd demo/qd/again
"$bin/make_samples" demo >/dev/null
step() { printf '\n$ %s\n' "$*"; "$@"; }

echo "== FDS: image -> raw side -> image"
cd demo/fds
step "$bin/Talvret" ../sample.fds
step "$bin/Omblisk" sample.DKA
cmp ../sample.fds sample.fds && echo "sample.fds came back byte for byte"

echo
echo "== QD: MZT -> raw side -> QD image and MZT -> raw side -> MZT"
cd ../qd
step "$bin/Surbeck" ../sample.mzt
step "$bin/Pelgrane" -d -m -s sample.QDK
cmp ../sample.mzt sample.mzt && echo "sample.mzt came back byte for byte"
cd again
step "$bin/Wenmark" ../sample.qdf side.raw
step "$bin/Pelgrane" -m side.raw
cmp ../../sample.mzt side.mzt && echo "and again through the QD image file"

if [ -x "$bin/qdkit" ]; then
  echo
  echo "== qdkit: the same files read, checked, converted and brought back"
  mkdir -p ../../kit && cd ../../kit
  step "$bin/qdkit" info ../sample.fds ../sample.mzt
  step "$bin/qdkit" convert ../sample.fds ../sample.mzt
  step "$bin/qdkit" verify sample.DKA sample.QDK ../qd/sample.qdf
  mkdir -p back
  step "$bin/qdkit" convert -C back sample.DKA sample.QDK
  cmp ../sample.fds back/sample.fds && cmp ../sample.mzt back/sample.mzt &&
    echo "both came back byte for byte"

  echo
  echo "== qdkit recover: the side of sample.fds from five reads of a worn disk"
  mkdir -p ../rescue && cd ../rescue
  step "$bin/qdkit" recover -o one.fds ../worn-1.raw || true
  step "$bin/qdkit" recover --map side.svg -o side.fds ../worn-1.raw ../worn-2.raw \
    ../worn-3.raw ../worn-4.raw ../worn-5.raw
  cmp ../sample.fds side.fds && echo "side.fds is sample.fds, byte for byte"
fi
echo
echo "Outputs are in demo/."
