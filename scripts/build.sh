#!/usr/bin/env bash
# Configures and builds the kit in BUILD_DIR (build) with the options all
# the kit's scripts share, so that one build serves them all: demo.sh and
# then test.sh compile every object once. Arguments go to cmake; TARGETS
# names what to build (everything when empty).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DKIT_TESTS=ON -DKIT_WERROR=ON "$@"
targets=()
for target in ${TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)" "${targets[@]}"
