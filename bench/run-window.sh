#!/usr/bin/env bash
# Does the window hold a run up? The same verify runs once through the main
# window (offscreen, every question answered yes) and once through
# quorvel-verify, warm cache, best of $RUNS after one warm-up run each:
#   (a) a pair of identical 1 GiB files
#   (b) two trees of 20,000 small files
#   (c) the same trees with the verify log showing only the problems
# The ratio is window time / quorvel-verify time (goals: at most 1.1 for (a)
# and (c), 1.5 for (b)); "shown" is how many times a second the window showed
# the run's progress (goal: at least 20).
# Then the log the run of (b) left: the slowest and the mean of 400 painted
# scroll steps over it, Show Problems Only turned on and off, and the
# window's peak memory against quorvel-verify's, in bytes per file (the
# window's goal: at most 200 at 1,000,000 files; a run that small shows
# mostly what any window takes).
#   bench/run-window.sh [DATA_FOLDER]     (default: bench/data)
# ONLY_SMALL=1 measures (b) and (c) alone.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x /usr/bin/time ] || { echo "bench needs GNU time: apt-get install time" >&2; exit 2; }
data=${1:-bench/data}
runs=${RUNS:-3}
build=${BUILD_DIR:-build}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvel-verify window-bench >/dev/null
verify=$build/cli/quorvel-verify
window=$build/bench/window-bench

echo "Making data in $data (once) ..."
large=$((1 << 30))
[ -z "${ONLY_SMALL:-}" ] || large=0 # no large pair needed
python3 bench/make_data.py "$data" "$large" 20000

# seconds of one quorvel-verify run, with its whole log written
cli_once() {
  local start end
  start=$(date +%s%N)
  "$verify" "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}

# "seconds turns/s" of one window run; WINDOW_ARGS go before the paths
window_once() {
  local out
  out=$(QT_QPA_PLATFORM=offscreen "$window" ${WINDOW_ARGS:-} "$@" 2>/dev/null)
  awk '{ for (i = 1; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] } }
       END { print v["seconds"], v["per_second"] }' <<<"$out"
}

compare() { # name source target
  local name=$1; shift
  cli_once "$@" >/dev/null
  window_once "$@" >/dev/null
  local best_cli="" best_win="" shown=""
  for _ in $(seq "$runs"); do
    local c w s
    c=$(cli_once "$@")
    read -r w s <<<"$(window_once "$@")"
    if [ -z "$best_cli" ] || awk "BEGIN{exit !($c < $best_cli)}"; then best_cli=$c; fi
    if [ -z "$best_win" ] || awk "BEGIN{exit !($w < $best_win)}"; then best_win=$w; shown=$s; fi
  done
  awk -v n="$name" -v c="$best_cli" -v w="$best_win" -v s="$shown" 'BEGIN{
    printf "%-26s window %7.3f s (shown %5.1f/s) | quorvel-verify %7.3f s | ratio %.2fx\n",
      n, w, s, c, (c > 0 ? w / c : 0) }'
}

if [ -z "${ONLY_SMALL:-}" ]; then
  compare "(a) 1 GiB identical pair" "$data/large-a.bin" "$data/large-b.bin"
fi
compare "(b) 20,000 small files" "$data/small-src" "$data/small-dst"
WINDOW_ARGS=--problems-only compare "(c) (b), problems only" "$data/small-src" "$data/small-dst"

# kilobytes of the peak resident memory of one run of "$@"
peak_kb() {
  local timing
  timing=$(mktemp)
  /usr/bin/time -f '%M' -o "$timing" "$@" >/dev/null 2>&1 || true
  tail -n 1 "$timing" # after a line on a non-zero exit status
  rm -f "$timing"
}
files=$(find "$data/small-src" -type f | wc -l)
log=$(QT_QPA_PLATFORM=offscreen "$window" "$data/small-src" "$data/small-dst" 2>/dev/null | tail -n 1)
cli_kb=$(peak_kb "$verify" "$data/small-src" "$data/small-dst")
awk -v files="$files" -v cli="$cli_kb" '{ for (i = 1; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] } }
  END { printf "%-26s %d lines: scroll step %.2f ms at most (mean %.2f), filter on and off %.1f ms\n",
          "(d) the log of (b)", v["lines"], v["scroll_ms"], v["scroll_avg_ms"], v["filter_ms"]
        printf "%-26s window %.1f MB (%d bytes per file) | quorvel-verify %.1f MB (%d bytes per file)\n",
          "    peak memory", v["peak_rss_kb"] / 1024, v["peak_rss_kb"] * 1024 / files, cli / 1024, cli * 1024 / files }' <<<"$log"
