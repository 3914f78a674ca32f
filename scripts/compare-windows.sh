#!/usr/bin/env bash
# Runs every program of the Linux build and of the Windows build (under
# wine) on the same inputs: the sample images, what the programs make of
# them, and the damaged inputs of the fuzz corpus. Each pair of runs must
# write byte-identical files, print the same text (line ends aside) and exit
# with the same status; qdkit as well. A run on a console must show the text
# whole.
# Builds what is missing: build-compare/ for Linux,
# build-windows/ (scripts/build-windows.sh) for Windows.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux=${LINUX_BUILD_DIR:-build-compare}
windows=${WINDOWS_BUILD_DIR:-build-windows}
work=$root/$linux/compare

bash scripts/deps.sh
cmake -S . -B "$linux" -DKIT_TESTS=OFF >/dev/null
cmake --build "$linux" --parallel "$(nproc 2>/dev/null || echo 2)" >/dev/null
[ -x "$windows/bin/qdkit.exe" ] || BUILD_DIR=$windows bash scripts/build-windows.sh >/dev/null
# The corpus tool is built with the fuzz targets only; it needs no fuzzer.
g++ -std=c++17 -O1 -I. fuzz/make_corpus.cpp "$linux/samples/libkit_samplegen.a" \
  "$linux/qd/libkit_qd.a" "$linux/fds/libkit_fds.a" "$linux/common/libkit_common.a" \
  -o "$linux/make_corpus"

rm -rf "$work" && mkdir -p "$work/inputs/samples"
"$linux/make_corpus" "$work/inputs" >/dev/null
"$linux/bin/make_samples" "$work/inputs/samples" >/dev/null

export WINEPREFIX=$root/$windows/wine
wine="sh $root/cmake/wine-run.sh"

runs=0 failed=0
# compare PROGRAM INPUT [ARGUMENT...]: the arguments name the input by its
# file name, which both runs find in their own fresh folder.
compare() {
  local program=$1 input=$2
  shift 2
  runs=$((runs + 1))
  local case=$work/runs/$runs
  mkdir -p "$case/linux" "$case/windows"
  cp "$input" "$case/linux/" && cp "$input" "$case/windows/"
  local linuxstatus=0 windowsstatus=0
  (cd "$case/linux" && "$root/$linux/bin/$program" "$@" >../linux.out 2>../linux.err) \
    || linuxstatus=$?
  (cd "$case/windows" && $wine "$root/$windows/bin/$program.exe" "$@" \
    >../windows.out 2>../windows.err) || windowsstatus=$?
  local problems=()
  [ "$linuxstatus" -eq "$windowsstatus" ] \
    || problems+=("exit status $linuxstatus on Linux, $windowsstatus on Windows")
  for stream in out err; do
    sed 's/\r$//' "$case/windows.$stream" | cmp -s - "$case/linux.$stream" \
      || problems+=("standard $stream differs")
    # Text mode ends every line with \r\n.
    if grep -q $'[^\r]$' <(sed -n '$!p' "$case/windows.$stream"); then
      problems+=("a line of the standard $stream ends without \\r\\n")
    fi
  done
  diff -r "$case/linux" "$case/windows" >/dev/null || problems+=("files differ")
  if [ ${#problems[@]} -gt 0 ]; then
    failed=$((failed + 1))
    echo "DIFFERS: $program $* ($input): ${problems[*]} [$case]"
  fi
}

samples=$work/inputs/samples
# The samples round the loops on both builds, each step from the Linux
# build's output of the step before.
compare Talvret "$samples/sample.fds" sample.fds
compare Omblisk "$work/runs/$runs/linux/sample.DKA" sample.DKA
compare Surbeck "$samples/sample.mzt" sample.mzt
qdk=$work/runs/$runs/linux/sample.QDK
for options in "" "-d" "-m" "-s" "-d -m -s"; do
  # shellcheck disable=SC2086
  compare Pelgrane "$qdk" $options sample.QDK
done
compare Wenmark "$work/runs/$runs/linux/sample.qdf" sample.qdf side.raw

for input in "$work"/inputs/talvret/*; do compare Talvret "$input" "$(basename "$input")"; done
for input in "$work"/inputs/omblisk/*; do compare Omblisk "$input" "$(basename "$input")"; done
for input in "$work"/inputs/surbeck/*; do compare Surbeck "$input" "$(basename "$input")"; done
for input in "$work"/inputs/wenmark/*; do
  compare Wenmark "$input" "$(basename "$input")" out.raw
done
for input in "$work"/inputs/pelgrane/*; do
  for options in "" "-d -m -s"; do
    # shellcheck disable=SC2086
    compare Pelgrane "$input" $options "$(basename "$input")"
  done
done
# qdkit reads, checks and converts the same inputs.
compare qdkit "$samples/sample.fds" info --json sample.fds
compare qdkit "$samples/sample.fds" convert sample.fds
compare qdkit "$samples/sample.mzt" convert --to qdf sample.mzt
compare qdkit "$qdk" verify sample.QDK
for input in "$work"/inputs/omblisk/* "$work"/inputs/pelgrane/*; do
  compare qdkit "$input" info "$(basename "$input")"
done
# Without arguments: the usage text.
for program in Talvret Omblisk Pelgrane Surbeck Wenmark qdkit; do
  compare "$program" "$samples/sample.fds"
done

# On a console (wine makes one of a terminal, here script's) the text goes
# out as UTF-16, which wine shows as UTF-8: the Japanese and a name that no
# code page holds must arrive whole.
console=$work/console
mkdir -p "$console" && cp "$samples/sample.fds" "$console/한글表.fds"
runs=$((runs + 1))
shown=$(cd "$console" && script -qec "$wine '$root/$windows/bin/Talvret.exe' 한글表.fds" /dev/null \
  </dev/null | tr -d '\r' | sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g')
if [ "$shown" != $'FDS disk number : 1\nCreate file: 한글表.DKA\n変換が終了しました。' ] \
  || [ ! -f "$console/한글表.DKA" ]; then
  failed=$((failed + 1))
  printf 'DIFFERS: Talvret on a console showed:\n%s\n' "$shown"
fi

echo "windows comparison: $((runs - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
