#!/usr/bin/env bash
# Cross-builds the kit and its tests for 64-bit Windows and runs the tests
# under wine (installing wine with apt-get when it is missing). The wine
# prefix lives in the build folder and is made on the first run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-windows}
if ! command -v wine >/dev/null 2>&1; then
  echo "Installing: wine wine64"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq wine wine64
fi
BUILD_DIR=$build bash scripts/build-windows.sh -DKIT_TESTS=ON -DKIT_WERROR=ON "$@"

# A first run makes the wine prefix in the build folder: time it.
export WINEPREFIX=$PWD/$build/wine
if [ ! -d "$WINEPREFIX" ]; then
  start=$(date +%s)
  WINEDEBUG=-all sh cmake/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
  echo "wine prefix made in $(($(date +%s) - start)) s"
fi

# Wine itself now and then fails a process as it starts or exits; a test
# counts as failed when it fails twice, which any real fault does.
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)" \
  --repeat until-pass:2 | tee "$build/ctest.log"
echo "Skipped under wine:"
sed -n "s/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/  \1/p" "$build/ctest.log"
