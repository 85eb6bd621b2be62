#!/usr/bin/env bash
# Two builds of quorvel-verify on bench/run.sh's data, in one run, taking
# turns: a refactoring that must leave the figures level shows here.
#   bench/compare-builds.sh OLD_VERIFY [NEW_VERIFY [DATA_FOLDER]]
# OLD_VERIFY: a quorvel-verify built from an earlier commit (for one:
#   git worktree add /tmp/old REV && cmake -S /tmp/old -B /tmp/old/build -G Ninja
#   && ninja -C /tmp/old/build cli/quorvel-verify).
# Best wall time of RUNS (default 7) runs each; cold rows (root only) drop
# the page cache before every run. after/before below 1.00: the new is faster.
set -euo pipefail
cd "$(dirname "$0")/.."
old=${1:?usage: bench/compare-builds.sh OLD_VERIFY [NEW_VERIFY [DATA_FOLDER]]}
new=${2:-build/cli/quorvel-verify}
data=${3:-bench/data}
runs=${RUNS:-7}
python3 bench/make_data.py "$data" "${LARGE_BYTES:-$((1 << 30))}" "${SMALL_FILES:-20000}" >/dev/null
# Neither build may touch the user's own state (the resume journal).
state=$(mktemp -d); sums=$state/bench.sha256
trap 'rm -rf "$state"' EXIT
export XDG_STATE_HOME=$state

ms() { local a b; a=$(date +%s%N); "$@" >/dev/null 2>&1 || true; b=$(date +%s%N); echo $(((b - a) / 1000000)); }
drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }
row() { # NAME COLD ARGS...
  local name=$1 cold=$2 best_old=999999999 best_new=999999999 v
  shift 2
  if [ "$cold" = 1 ] && [ "$(id -u)" -ne 0 ]; then
    printf '%-34s (cold rows need root)\n' "$name"
    return
  fi
  for _ in $(seq "$runs"); do
    [ "$cold" = 1 ] && drop_caches
    v=$(ms "$old" --quiet --no-progress "$@"); [ "$v" -lt "$best_old" ] && best_old=$v
    [ "$cold" = 1 ] && drop_caches
    v=$(ms "$new" --quiet --no-progress "$@"); [ "$v" -lt "$best_new" ] && best_new=$v
  done
  awk -v n="$name" -v o="$best_old" -v w="$best_new" \
    'BEGIN{printf "%-34s before %7d ms   after %7d ms   after/before %.2f\n", n, o, w, (o > 0 ? w / o : 0)}'
}
row "1 GiB pair, warm" 0 "$data/large-a.bin" "$data/large-b.bin"
row "1 GiB pair, cold" 1 "$data/large-a.bin" "$data/large-b.bin"
row "1 GiB, --checksums, warm" 0 --checksums "$sums" "$data/large-a.bin" "$data/large-b.bin"
row "small files, warm" 0 "$data/small-src" "$data/small-dst"
row "small files, cold" 1 "$data/small-src" "$data/small-dst"
row "small, --checksums, warm" 0 --checksums "$sums" "$data/small-src" "$data/small-dst"
row "small, --checksums, cold" 1 --checksums "$sums" "$data/small-src" "$data/small-dst"
