#!/usr/bin/env bash
# Speed and memory of quorvel-verify against the reference tools, in one run,
# warm cache:
#   (a) a pair of identical 1 GiB files        against  cmp
#   (b) two trees of 20,000 small files         against  diff -rq
# A ratio above 1.0 means quorvel-verify was faster. Peak memory is the
# maximum resident set size.
#   bench/run.sh [DATA_FOLDER]     (default: bench/data)
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-bench/data}
runs=${RUNS:-3}

[ -x /usr/bin/time ] || { echo "bench needs GNU time: apt-get install time" >&2; exit 2; }
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvel-verify >/dev/null
verify=$build/cli/quorvel-verify

echo "Making data in $data (once) ..."
python3 bench/make_data.py "$data" $((1 << 30)) 20000

timing=$(mktemp)
trap 'rm -f "$timing"' EXIT

# best wall time and its peak RSS over $runs runs, after one warm-up run
measure() {
  "$@" >/dev/null 2>&1 || true
  local best="" mem=""
  for _ in $(seq "$runs"); do
    local out
    /usr/bin/time -f '%e %M' -o "$timing" "$@" >/dev/null 2>&1 || true
    out=$(tail -n 1 "$timing")
    local t=${out% *} m=${out#* }
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; mem=$m; fi
  done
  echo "$best $mem"
}

report() { # name ours theirs bytes
  read -r qt qm <<<"$2"
  read -r rt rm <<<"$3"
  awk -v n="$1" -v qt="$qt" -v qm="$qm" -v rt="$rt" -v rm="$rm" -v b="$4" -v ref="$5" 'BEGIN{
    q = qt > 0 ? qt : 0.001; r = rt > 0 ? rt : 0.001;
    printf "%-28s quorvel-verify %7.3f s %8.1f MB/s %7.1f MiB peak | %-8s %7.3f s %8.1f MB/s %7.1f MiB peak | ratio %.2fx\n",
      n, qt, b / q / 1e6, qm / 1024, ref, rt, b / r / 1e6, rm / 1024, r / q }'
}

large_bytes=$(stat -c %s "$data/large-a.bin")
small_bytes=$(du -sb "$data/small-src" | cut -f1)

ours=$(measure "$verify" --quiet "$data/large-a.bin" "$data/large-b.bin")
theirs=$(measure cmp "$data/large-a.bin" "$data/large-b.bin")
report "(a) 1 GiB identical pair" "$ours" "$theirs" "$large_bytes" cmp

ours=$(measure "$verify" --quiet "$data/small-src" "$data/small-dst")
theirs=$(measure diff -rq "$data/small-src" "$data/small-dst")
report "(b) 20,000 small files" "$ours" "$theirs" "$small_bytes" "diff -rq"

# Peak memory must not grow with file size: a pair four times smaller.
small_pair="$data/quarter"
if [ ! -f "$small_pair/a.bin" ]; then
  mkdir -p "$small_pair"
  head -c $((1 << 28)) "$data/large-a.bin" >"$small_pair/a.bin"
  cp "$small_pair/a.bin" "$small_pair/b.bin"
fi
read -r _ qm_quarter <<<"$(measure "$verify" --quiet "$small_pair/a.bin" "$small_pair/b.bin")"
read -r _ qm_full <<<"$(measure "$verify" --quiet "$data/large-a.bin" "$data/large-b.bin")"
echo "peak memory: 256 MiB pair $((qm_quarter / 1024)) MiB, 1 GiB pair $((qm_full / 1024)) MiB"
