#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, seeds them with generated inputs
# and runs each for the given number of seconds (default 60). Any crash,
# hang, leak or sanitizer report fails the run; its input is kept in
# build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/deps.sh clang fuzzer
build=${FUZZ_BUILD_DIR:-build-fuzz}
CXX=clang++ cmake -S . -B "$build" -DKIT_FUZZ=ON -DKIT_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)"

rm -rf "$build/seeds"
"$build/bin/make_corpus" "$build/seeds"
mkdir -p "$build/findings"
# qdkit and the rescue take every kind of input; qdkit is built only when
# its libraries are there.
seeds() {
  case "$1" in
    qdkit | rescue) echo "$build"/seeds/* ;;
    *) echo "$build/seeds/$1" ;;
  esac
}
targets="talvret omblisk pelgrane surbeck wenmark rescue"
[ -x "$build/bin/fuzz_qdkit" ] && targets="$targets qdkit"
for target in $targets; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  echo "== fuzz_$target for ${seconds}s"
  # A finding must not end the script before it is named.
  set +e
  # shellcheck disable=SC2046
  "$build/bin/fuzz_$target" "$corpus" $(seeds "$target") \
    -max_total_time="$seconds" -max_len=200000 -len_control=0 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$build/findings/$target-" -print_final_stats=1 2>&1 | tail -n 20
  status=${PIPESTATUS[0]}
  set -e
  if [ "$status" -ne 0 ]; then
    echo "fuzz_$target found a fault (status $status); see $build/findings/"
    exit 1
  fi
done
echo "fuzzing: no findings"
