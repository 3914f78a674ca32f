#!/usr/bin/env bash
# Builds the kit and every test from nothing, then runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DKIT_TESTS=ON -DKIT_WERROR=ON "$@"
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)"
