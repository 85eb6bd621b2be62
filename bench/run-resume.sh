#!/usr/bin/env bash
# What resuming saves and what the journal costs, in one run, on two trees
# of $FILES small files (default 200,000), warm cache:
#   (j) a full run, writing its journal       against  the same run with no
#                                                      journal (its folder
#                                                      cannot be made)
#   (k) --resume after 90% of the run was     against  the full run (j)
#       proven and the run was killed
#   (l) the full run (j)                      against  diff -rq
#   (f) the identities of every file of both  against  the full run (j)
#       trees, looked up by find: what no
#       resumed run can do without
# and, as root, with the page cache dropped before every run:
#   (m) (k) with a cold cache                 against  (j) with a cold cache
#   (g) (f) with a cold cache                 against  (j) with a cold cache
#   (n) (j) with a cold cache                 against  diff -rq, cold
# On a warm cache the bytes of small files cost little more to read than
# their names and identities cost to look up, which a resumed run still does
# for every pair; the cold rows show what is saved where the reading is what
# takes the time, as on the USB disk of a backup.
# A run is killed at 90% through the program's test hook: it holds once that
# many pairs are done (its journal written out), and is then killed with
# SIGKILL, as a crash would end it.
#   bench/run-resume.sh [DATA_FOLDER]     (default: bench/data-resume)
# ONLY_JOURNAL=1 measures (j) alone.
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-bench/data-resume}
runs=${RUNS:-3}
files=${FILES:-200000}

[ -x /usr/bin/time ] || { echo "bench needs GNU time: apt-get install time" >&2; exit 2; }
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvel-verify >/dev/null
verify=$build/cli/quorvel-verify

echo "Making data in $data (once) ..."
python3 bench/make_data.py "$data" 4096 "$files"
src=$data/small-src dst=$data/small-dst

state=$(mktemp -d)
timing=$(mktemp)
trap 'rm -rf "$state" "$timing"' EXIT
export XDG_STATE_HOME=$state

# best wall time and its peak RSS over $runs runs of "$@", after one warm-up
# run; PREPARE (a function name, or :) runs before each.
measure() {
  local prepare=$1 best="" mem=""
  shift
  $prepare
  "$@" >/dev/null 2>&1 || true
  for _ in $(seq "$runs"); do
    $prepare
    /usr/bin/time -f '%e %M' -o "$timing" "$@" >/dev/null 2>&1 || true
    local out t m
    out=$(tail -n 1 "$timing"); t=${out% *}; m=${out#* }
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; mem=$m; fi
  done
  echo "$best $mem"
}

report() { # name ours theirs reference [what ours is]
  read -r qt qm <<<"$2"
  read -r rt rm <<<"$3"
  awk -v n="$1" -v qt="$qt" -v qm="$qm" -v rt="$rt" -v rm="$rm" -v ref="$4" -v us="${5:-quorvel-verify}" 'BEGIN{
    q = qt > 0 ? qt : 0.001; r = rt > 0 ? rt : 0.001;
    printf "%-34s %-14s %8.3f s %7.1f MiB peak | %-10s %8.3f s %7.1f MiB peak | %5.1f%% of its time\n",
      n, us, qt, qm / 1024, ref, rt, rm / 1024, 100 * q / r }'
}

# Leaves the journal of a run killed once 90% of its pairs were done.
held=$((files * 9 / 10))
kill_at_90() {
  rm -rf "$state/quorvel"
  local err
  err=$(mktemp)
  QUORVEL_TEST_HOLD_AFTER_PAIRS=$held "$verify" --quiet --no-progress "$src" "$dst" >/dev/null 2>"$err" &
  local pid=$!
  while ! grep -q 'test hold' "$err"; do
    kill -0 "$pid" 2>/dev/null || { echo "the run ended before it was held" >&2; exit 2; }
    sleep 0.05
  done
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null || true
  rm -f "$err"
}
no_journal() { rm -rf "$state/quorvel"; }

# The journal's cost is a few per cent at most: the two runs take turns, so
# that what else the machine does weighs on both alike, and their processor
# time (user and system) is shown beside the wall time.
journal_cost() {
  local bestj="" bestb="" cpuj="" cpub="" memj="" out t m c
  no_journal
  "$verify" --quiet --no-progress "$src" "$dst" >/dev/null 2>&1 || true
  for _ in $(seq $((runs * 2))); do
    for which in journal bare; do
      no_journal
      if [ $which = journal ]; then
        /usr/bin/time -f '%e %M %U %S' -o "$timing" "$verify" --quiet --no-progress "$src" "$dst" >/dev/null 2>&1 || true
      else
        XDG_STATE_HOME=/dev/null/none /usr/bin/time -f '%e %M %U %S' -o "$timing" \
          "$verify" --quiet --no-progress "$src" "$dst" >/dev/null 2>&1 || true
      fi
      read -r t m u sy <<<"$(tail -n 1 "$timing")"
      c=$(awk "BEGIN{print $u + $sy}")
      if [ $which = journal ]; then
        if [ -z "$bestj" ] || awk "BEGIN{exit !($t < $bestj)}"; then bestj=$t; memj=$m; fi
        if [ -z "$cpuj" ] || awk "BEGIN{exit !($c < $cpuj)}"; then cpuj=$c; fi
      else
        if [ -z "$bestb" ] || awk "BEGIN{exit !($t < $bestb)}"; then bestb=$t; fi
        if [ -z "$cpub" ] || awk "BEGIN{exit !($c < $cpub)}"; then cpub=$c; fi
      fi
    done
  done
  full="$bestj $memj"
  awk -v n="(j) $files files, journal" -v a="$bestj" -v b="$bestb" -v ca="$cpuj" -v cb="$cpub" 'BEGIN{
    printf "%-34s quorvel-verify %8.3f s (cpu %6.3f s) | no journal %8.3f s (cpu %6.3f s) | journal costs %+5.1f%% wall, %+5.1f%% cpu\n",
      n, a, ca, b, cb, 100 * (a - b) / b, 100 * (ca - cb) / cb }'
}
journal_cost
[ -n "${ONLY_JOURNAL:-}" ] && exit 0

kill_at_90
journal=$(ls "$state"/quorvel/runs/*.journal)
echo "journal after 90%: $(stat -c %s "$journal") bytes"
resumed=$(measure kill_at_90 "$verify" --quiet --no-progress --resume "$src" "$dst")
report "(k) --resume after 90%" "$resumed" "$full" "full run"

theirs=$(measure : diff -rq "$src" "$dst")
report "(l) $files files, full run" "$full" "$theirs" "diff -rq"

# What a resumed run cannot do without: the identity (inode, size, times) of
# every file of both trees, looked up once, here by find on one thread. On
# small files and a warm cache this alone is a large share of a full run.
floor=$(measure : find "$src" "$dst" -type f -printf '%i %s %T@ %C@\n')
report "(f) both trees' identities" "$floor" "$full" "full run" "find"

[ "$(id -u)" -eq 0 ] || exit 0
drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }
kill_at_90_cold() { kill_at_90; drop_caches; }
no_journal_cold() { no_journal; drop_caches; }
cold=$(measure no_journal_cold "$verify" --quiet --no-progress "$src" "$dst")
resumed=$(measure kill_at_90_cold "$verify" --quiet --no-progress --resume "$src" "$dst")
report "(m) --resume after 90%, cold" "$resumed" "$cold" "full, cold"
floor=$(measure drop_caches find "$src" "$dst" -type f -printf '%i %s %T@ %C@\n')
report "(g) (f) with a cold cache" "$floor" "$cold" "full, cold" "find"
theirs=$(measure drop_caches diff -rq "$src" "$dst")
report "(n) $files files, cold" "$cold" "$theirs" "diff -rq"
