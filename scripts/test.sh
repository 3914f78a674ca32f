#!/usr/bin/env bash
# Builds the kit and every test (scripts/build.sh), then runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh "$@"
build=${BUILD_DIR:-build}
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)"
