#!/usr/bin/env bash
# Runs every program on full sides and compares it with the plain I/O of the
# same bytes.
#   bash scripts/bench.sh               wall time against cp (medians of paired runs)
#   bash scripts/bench.sh instructions  callgrind: instructions per side-stream
#                                       byte beyond the bare read+write program
#   bash scripts/bench.sh kernels       the Google Benchmark kernels
#   bash scripts/bench.sh rescue        the rescue: callgrind instructions of
#                                       recover per raw byte of one clean full
#                                       side and of five reads against one, the
#                                       benchmark's times, and what comes back
#                                       from damaged reads (READS a case, 400)
# BUILD_DIR (build-bench) is the Release build made here; BIN_DIR, when set,
# names another build's bin folder whose programs are measured instead.
# RUNS (15) pairs of BATCH (20) back-to-back runs each make the medians.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-time}
case "$mode" in time | instructions | kernels | rescue) ;; *)
  echo "usage: $0 [time|instructions|kernels|rescue]" >&2
  exit 2
  ;;
esac
root=$PWD
build=${BUILD_DIR:-build-bench}
runs=${RUNS:-15}
batch=${BATCH:-20}

bash scripts/deps.sh benchmark $([ "$mode" = instructions ] || [ "$mode" = rescue ] && echo valgrind)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKIT_TESTS=OFF -DKIT_BENCH=ON >/dev/null
cmake --build "$build" --parallel 2 >/dev/null
if [ "$mode" = kernels ]; then
  exec "$build/bin/kit_bench"
fi
bin=$(cd "${BIN_DIR:-$build/bin}" && pwd)
tools=$root/$build/bin

# Files go to memory (/dev/shm) when there is one, so that the disk's
# write-back does not time itself into the runs; BENCH_TMP picks another place.
tmp=${BENCH_TMP:-$([ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}
work=$(mktemp -d "$tmp/kit-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/run"
"$tools/make_bench_inputs" "$work/in"
(
  cd "$work/in"
  "$tools/Talvret" full.fds >/dev/null
  "$tools/Surbeck" full.mzt >/dev/null
  "$tools/Pelgrane" -d full.QDK >/dev/null
)

# name | side-stream bytes | program and arguments (inputs in ../in)
jobs=(
  "Talvret (2 sides)|143360|Talvret ../in/full.fds"
  "Omblisk|71680|Omblisk ../in/full.DKA"
  "Pelgrane (listing)|81920|Pelgrane ../in/full.QDK"
  "Pelgrane -d -m -s|81920|Pelgrane -d -m -s ../in/full.QDK"
  "Surbeck|81920|Surbeck ../in/full.mzt"
  "Wenmark|81920|Wenmark ../in/full.qdf full.raw"
  "qdkit info (FDS raw)|71680|qdkit info ../in/full.DKA"
  "qdkit info (QD raw)|81920|qdkit info ../in/full.QDK"
  "qdkit verify (FDS raw)|71680|qdkit verify ../in/full.DKA"
  "qdkit verify (QD raw)|81920|qdkit verify ../in/full.QDK"
  "qdkit convert (FDS raw)|71680|qdkit convert -C . ../in/full.DKA"
  "qdkit convert (QD raw)|81920|qdkit convert -C . ../in/full.QDK"
)

cd "$work/run"
clean() { find . -mindepth 1 -delete; }
bytes_in() { stat -c %s "../in/$1"; }
bytes_out() { find . -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}'; }
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
irefs() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
  awk '/Collected :/ {print $4}'; }

if [ "$mode" = rescue ]; then
  # The whole of recover on one clean full side and on five reads of it,
  # less qdkit's start-up, per raw byte read.
  startup=$(irefs "$bin/qdkit" --version)
  echo "start-up (qdkit --version): $startup instructions"
  for side in full.DKA full.QDK; do
    one=$(irefs "$bin/qdkit" recover -o out "../in/$side")
    rm -f out
    five=$(irefs "$bin/qdkit" recover -o out "../in/$side" "../in/$side" "../in/$side" \
      "../in/$side" "../in/$side")
    rm -f out
    bytes=$(bytes_in "$side")
    printf '%-10s one read %10d instructions, %.1f a raw byte beyond start-up (%.1f with it); five reads %.2f times one\n' \
      "$side" "$one" "$(awk -v c="$one" -v s="$startup" -v n="$bytes" 'BEGIN {print (c - s) / n}')" \
      "$(awk -v c="$one" -v n="$bytes" 'BEGIN {print c / n}')" \
      "$(awk -v f="$five" -v o="$one" 'BEGIN {print f / o}')"
  done
  "$tools/kit_bench" --benchmark_filter=Rescue --benchmark_min_time=0.5
  exec "$tools/rescue_measure" "${READS:-400}"
fi

# Microseconds for $batch runs of a command, from bash's own clock.
batch_time() {
  local start=${EPOCHREALTIME/./}
  for ((i = 0; i < batch; i++)); do "$@" >/dev/null 2>&1 || true; done
  echo $((${EPOCHREALTIME/./} - start))
}

if [ "$mode" = instructions ]; then
  echo "usage run: $(irefs "$bin/Talvret") instructions"
  startup=$(irefs "$bin/qdkit" --version)
  echo "qdkit start-up (--version): $startup instructions"
  echo "classic programs: per side-stream byte beyond the bare program;" \
    "qdkit: per raw byte beyond its start-up"
  printf '%-24s %12s %12s %10s\n' program instructions bare "per byte"
fi
if [ "$mode" = time ]; then
  printf '%-24s %10s %10s %8s\n' program "ms/run" "cp ms/run" ratio
fi
for job in "${jobs[@]}"; do
  IFS='|' read -r name sidebytes command <<<"$job"
  read -r -a argv <<<"$command"
  argv[0]=$bin/${argv[0]}
  input=$(for a in "${argv[@]:1}"; do case "$a" in ../in/*) echo "${a#../in/}" ;; esac; done)
  clean
  "${argv[@]}" >/dev/null 2>&1
  outbytes=$(bytes_out)
  inbytes=$(bytes_in "$input")
  if [ "$mode" = instructions ]; then
    clean
    program=$(irefs "${argv[@]}")
    clean
    if [ "${name%% *}" = qdkit ]; then
      bare=$startup sidebytes=$inbytes
    else
      bare=$(irefs "$tools/bare_io" "../in/$input" bare.out "$outbytes")
    fi
    printf '%-24s %12d %12d %10.1f\n' "$name" "$program" "$bare" \
      "$(awk -v p="$program" -v b="$bare" -v n="$sidebytes" 'BEGIN {print (p - b) / n}')"
    continue
  fi
  # cp copies as many bytes as the program moves, whichever way is larger.
  cpbytes=$((inbytes > outbytes ? inbytes : outbytes))
  head -c "$cpbytes" /dev/urandom >"../cp.src"
  ratios=() programs=() cps=()
  for ((r = 0; r < runs; r++)); do
    p=$(batch_time "${argv[@]}")
    c=$(batch_time cp ../cp.src cp.dst)
    programs+=("$p") cps+=("$c") ratios+=("$(awk -v p="$p" -v c="$c" 'BEGIN {print p / c}')")
  done
  printf '%-24s %10.3f %10.3f %8.2f\n' "$name" \
    "$(printf '%s\n' "${programs[@]}" | median | awk -v b="$batch" '{print $1 / b / 1000}')" \
    "$(printf '%s\n' "${cps[@]}" | median | awk -v b="$batch" '{print $1 / b / 1000}')" \
    "$(printf '%s\n' "${ratios[@]}" | median)"
done
