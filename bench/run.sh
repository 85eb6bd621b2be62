#!/usr/bin/env bash
# Speed and memory of quorvel-verify against the reference tools, in one run:
#   (a) a pair of identical 1 GiB files, warm cache        against  cmp
#   (b) two trees of 20,000 small files, warm cache         against  diff -rq
#   (p) (a) with the progress line on a terminal            against  --no-progress
#   (q) (b) with the progress line on a terminal            against  --no-progress
#   (r) (a) recording checksums (--checksums)               against  not recording
#   (s) (b) recording checksums                             against  not recording
#   (t) --check of (b)'s Target against its checksums       against  sha256sum -c
#   (x) (b)'s Source against a cp -a copy, --attributes     against  without it
#   (y) (x) with --target-only too                          against  without both
#   (z) (x)                            against  rsync -rcni --perms --times
#                                               --owner --group -X -A
# and, as root:
#   (c) (a) with a cold cache                               against  cmp
#   (d) (b) with a cold cache                               against  diff -rq
#   (e) (a) warm with --from-disk                           against  (c)
#   (u) (c) recording checksums                             against  (c) not recording
#   (v) (d) recording checksums                             against  (d) not recording
#   (w) (t) with a cold cache                               against  sha256sum -c, cold
#   (f) a 16 MiB pair on two throttled loop devices         against  cmp
#   (g) (f) with --from-disk      against itself reading one side after the other
#   (h) (f)                       against itself reading one side after the other
# A ratio above 1.0 means quorvel-verify was faster. Peak memory is the
# maximum resident set size. The two devices are read-throttled to $BPS
# bytes a second each (default 4 MiB/s, PAIR_MIB MiB a file, default 16).
# A throttle lets a request through at once when its device was idle long
# enough, so only a rate below one block (1,024,000 bytes) per time slice of
# the throttle (100 ms) makes a device as slow to answer as a busy drive;
# through the page cache, read-ahead hides much of it (h), while direct reads
# (--from-disk) wait for every block (g).
#   bench/run.sh [DATA_FOLDER]     (default: bench/data)
# LARGE_BYTES and SMALL_FILES make the data smaller for a quick look (a data
# folder of its own then); ONLY_CHECKSUMS=1 measures the checksum rows alone,
# ONLY_ATTRIBUTES=1 the attribute rows.
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
python3 bench/make_data.py "$data" "${LARGE_BYTES:-$((1 << 30))}" "${SMALL_FILES:-20000}"

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

# ---------------------------------------------------------------- checksums
# Recording costs the hashing of every proven byte, on a thread of its own;
# a check reads and hashes the Target alone. sha256sum -c runs in the
# Target folder on the very file quorvel-verify wrote.
sums="$data/bench.sha256"
# checksum_rows MEASURE "r s t" SUFFIX: the three rows, measured with
# MEASURE (measure, or measure_cold), named with the three letters.
checksum_rows() {
  local how=$1 ours theirs
  read -r r1 r2 r3 <<<"$2"
  ours=$($how "$verify" --quiet --checksums "$sums" "$data/large-a.bin" "$data/large-b.bin")
  theirs=$($how "$verify" --quiet "$data/large-a.bin" "$data/large-b.bin")
  report "($r1) 1 GiB, recording$3" "$ours" "$theirs" "$large_bytes" "off"
  ours=$($how "$verify" --quiet --checksums "$sums" "$data/small-src" "$data/small-dst")
  theirs=$($how "$verify" --quiet "$data/small-src" "$data/small-dst")
  report "($r2) small, recording$3" "$ours" "$theirs" "$small_bytes" "off"
  # the checksum file of the small trees, just written
  ours=$($how "$verify" --quiet --check "$sums" "$data/small-dst")
  theirs=$($how sh -c 'cd "$0" && exec sha256sum -c --quiet "$1"' "$data/small-dst" "$(realpath "$sums")")
  report "($r3) small, --check$3" "$ours" "$theirs" "$small_bytes" "sha256sum"
}
# The cold rows (root only) drop the page cache before every run.
drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }
measure_cold() {
  local best="" mem=""
  for _ in $(seq "$runs"); do
    drop_caches
    /usr/bin/time -f '%e %M' -o "$timing" "$@" >/dev/null 2>&1 || true
    local out t m
    out=$(tail -n 1 "$timing"); t=${out% *}; m=${out#* }
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; mem=$m; fi
  done
  echo "$best $mem"
}
if [ -n "${ONLY_CHECKSUMS:-}" ]; then
  checksum_rows measure "r s t" ""
  [ "$(id -u)" -eq 0 ] && checksum_rows measure_cold "u v w" ", cold"
  exit 0
fi

# ---------------------------------------------------------------- attributes
# What comparing attributes costs on top of the bytes: against an exact copy
# made with cp -a, so that the runs measure the comparison, not the log.
# The runs of a row take turns (measure_turns), so that a machine busy with
# something else slows both sides alike; each side's least CPU time (user +
# system) is shown too, which a busy machine disturbs less than wall time.
measure_turns() { # "COMMAND A" "COMMAND B": "time peak" of A, of B, then "cpuA cpuB"
  local a=$1 b=$2 t m u s c side
  local -A best=() mem=() cpu=()
  eval "$a" >/dev/null 2>&1 || true
  eval "$b" >/dev/null 2>&1 || true
  for _ in $(seq "$runs"); do
    for side in a b; do
      local cmd=$a
      [ "$side" = b ] && cmd=$b
      /usr/bin/time -f '%e %M %U %S' -o "$timing" sh -c "$cmd" >/dev/null 2>&1 || true
      read -r t m u s <<<"$(tail -n 1 "$timing")"
      c=$(awk -v u="$u" -v s="$s" 'BEGIN{printf "%.2f", u + s}')
      if [ -z "${best[$side]:-}" ] || awk "BEGIN{exit !($t < ${best[$side]})}"; then best[$side]=$t; mem[$side]=$m; fi
      if [ -z "${cpu[$side]:-}" ] || awk "BEGIN{exit !($c < ${cpu[$side]})}"; then cpu[$side]=$c; fi
    done
  done
  echo "${best[a]} ${mem[a]}"
  echo "${best[b]} ${mem[b]}"
  echo "${cpu[a]} ${cpu[b]}"
}
attribute_row() { # name "COMMAND A" "COMMAND B" reference-name
  local rows ca cb
  rows=$(measure_turns "$2" "$3")
  report "$1" "$(sed -n 1p <<<"$rows")" "$(sed -n 2p <<<"$rows")" "$small_bytes" "$4"
  read -r ca cb <<<"$(sed -n 3p <<<"$rows")"
  awk -v a="$ca" -v b="$cb" -v ref="$4" 'BEGIN{ printf "%-28s cpu %.2f s against %s %.2f s: %.2fx the time\n", "", a, ref, b, (b > 0 ? a / b : 0) }'
}
attribute_rows() {
  local copy="$data/small-copy" status=0
  if [ ! -d "$copy" ]; then
    cp -a "$data/small-src" "$copy.part" && mv "$copy.part" "$copy"
  fi
  "$verify" --quiet --attributes --target-only "$data/small-src" "$copy" >/dev/null || status=$?
  if [ "$status" -ne 0 ]; then
    echo "attribute rows skipped: $copy is no exact copy (exit $status)"
    return
  fi
  local plain
  plain="$(printf '%q' "$verify") --quiet $(printf '%q %q' "$data/small-src" "$copy")"
  attribute_row "(x) small, --attributes" "$plain --attributes" "$plain" "off"
  attribute_row "(y) small, + --target-only" "$plain --attributes --target-only" "$plain" "off"
  attribute_row "(z) small, --attributes" "$plain --attributes" \
    "rsync -rcni --perms --times --owner --group -X -A $(printf '%q/ %q/' "$data/small-src" "$copy")" "rsync"
}
if [ -n "${ONLY_ATTRIBUTES:-}" ]; then
  attribute_rows
  exit 0
fi

# ---------------------------------------------------------------- progress line
# The progress line on a terminal against none, both runs under script(1):
# standard error on its pseudo-terminal, the log to /dev/null.
# ONLY_PROGRESS=1 measures these two rows alone.
on_pty() { printf '%q ' "$@"; printf '>/dev/null'; }
probe=$(script -qec "$(on_pty "$verify" "$data/large-a.bin" "$data/large-b.bin")" /dev/null </dev/null)
if [[ $probe == *"Gathering: "* ]]; then
  ours=$(measure script -qec "$(on_pty "$verify" "$data/large-a.bin" "$data/large-b.bin")" /dev/null)
  theirs=$(measure script -qec "$(on_pty "$verify" --no-progress "$data/large-a.bin" "$data/large-b.bin")" /dev/null)
  report "(p) 1 GiB pair, progress" "$ours" "$theirs" "$large_bytes" "none"
  ours=$(measure script -qec "$(on_pty "$verify" "$data/small-src" "$data/small-dst")" /dev/null)
  theirs=$(measure script -qec "$(on_pty "$verify" --no-progress "$data/small-src" "$data/small-dst")" /dev/null)
  report "(q) 20,000 small, progress" "$ours" "$theirs" "$small_bytes" "none"
else
  echo "progress rows skipped: no progress line on script's terminal"
fi
[ -n "${ONLY_PROGRESS:-}" ] && exit 0

ours=$(measure "$verify" --quiet "$data/large-a.bin" "$data/large-b.bin")
theirs=$(measure cmp "$data/large-a.bin" "$data/large-b.bin")
report "(a) 1 GiB identical pair" "$ours" "$theirs" "$large_bytes" cmp

ours=$(measure "$verify" --quiet "$data/small-src" "$data/small-dst")
theirs=$(measure diff -rq "$data/small-src" "$data/small-dst")
report "(b) 20,000 small files" "$ours" "$theirs" "$small_bytes" "diff -rq"
checksum_rows measure "r s t" ""
attribute_rows

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

# ---------------------------------------------------------------- cold cache
# Root only: the page cache is dropped before every run (the warm-up run
# included), so every byte comes from the disk. "--from-disk warm" reads a
# warm pair with --from-disk: it must cost no more than a cold run without it.
if [ "$(id -u)" -ne 0 ]; then
  echo "cold-cache and two-device rows skipped: they need root"
  exit 0
fi


ours=$(measure_cold "$verify" --quiet "$data/large-a.bin" "$data/large-b.bin")
theirs=$(measure_cold cmp "$data/large-a.bin" "$data/large-b.bin")
report "(c) 1 GiB pair, cold cache" "$ours" "$theirs" "$large_bytes" cmp
cold_ours=$ours
ours=$(measure_cold "$verify" --quiet "$data/small-src" "$data/small-dst")
theirs=$(measure_cold diff -rq "$data/small-src" "$data/small-dst")
report "(d) 20,000 small, cold cache" "$ours" "$theirs" "$small_bytes" "diff -rq"
ours=$(measure "$verify" --quiet --from-disk "$data/large-a.bin" "$data/large-b.bin")
report "(e) 1 GiB --from-disk, warm" "$ours" "$cold_ours" "$large_bytes" "cold run"
checksum_rows measure_cold "u v w" ", cold"

# ---------------------------------------------------------------- two devices
# Source and Target on two loop devices (ext4 on image files), each read at
# no more than $BPS bytes a second by a block-I/O throttle (cgroup v1 blkio
# or v2 io.max), cold cache: the usual copy-to-backup case with two drives.
bps=${BPS:-$((4 << 20))}
two="$data/two-devices"
mkdir -p "$two/mnt-a" "$two/mnt-b"
pair_mib=${PAIR_MIB:-16}
loops=()
cleanup_two() {
  for m in "$two/mnt-a" "$two/mnt-b"; do mountpoint -q "$m" && umount "$m"; done
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null || true; done
  [ -n "${cg:-}" ] && [ -d "$cg" ] && rmdir "$cg" 2>/dev/null || true
}
trap 'rm -f "$timing"; cleanup_two' EXIT
for side in a b; do
  img="$two/disk-$side.img"
  if [ ! -f "$img" ]; then
    truncate -s $((pair_mib + 64))M "$img"
    mkfs.ext4 -q -F -b 4096 "$img"
  fi
  dev=$(losetup --find --show "$img")
  loops+=("$dev")
  mount "$dev" "$two/mnt-$side"
  head -c $((pair_mib << 20)) "$data/large-a.bin" >"$two/mnt-$side/pair.bin"
done
if [ -d /sys/fs/cgroup/blkio ] && [ -f /sys/fs/cgroup/blkio/cgroup.procs ]; then
  cg=/sys/fs/cgroup/blkio/quorvel-bench; mkdir -p "$cg"
  for dev in "${loops[@]}"; do echo "$(lsblk -dno MAJ:MIN "$dev" | tr -d ' ') $bps" >"$cg/blkio.throttle.read_bps_device"; done
elif [ -f /sys/fs/cgroup/cgroup.controllers ] && grep -qw io /sys/fs/cgroup/cgroup.controllers; then
  echo +io >/sys/fs/cgroup/cgroup.subtree_control 2>/dev/null || true
  cg=/sys/fs/cgroup/quorvel-bench; mkdir -p "$cg"
  for dev in "${loops[@]}"; do echo "$(lsblk -dno MAJ:MIN "$dev" | tr -d ' ') rbps=$bps" >"$cg/io.max"; done
else
  echo "two-device rows skipped: no block-I/O throttle (neither cgroup v1 blkio nor v2 io)"
  exit 0
fi
# runs the command inside the throttled group
throttled=(sh -c 'echo $$ >"$0/cgroup.procs"; exec "$@"' "$cg")
pa="$two/mnt-a/pair.bin" pb="$two/mnt-b/pair.bin"
pair_bytes=$(stat -c %s "$pa")
ours=$(measure_cold "${throttled[@]}" "$verify" --quiet "$pa" "$pb")
theirs=$(measure_cold "${throttled[@]}" cmp "$pa" "$pb")
report "(f) two devices at $((bps >> 20)) MiB/s" "$ours" "$theirs" "$pair_bytes" cmp
ours=$(measure_cold "${throttled[@]}" "$verify" --quiet --from-disk "$pa" "$pb")
serial=$(measure_cold "${throttled[@]}" "$verify" --quiet --from-disk --no-concurrent-reads "$pa" "$pb")
report "(g) two devices, --from-disk" "$ours" "$serial" "$pair_bytes" "in turn"
ours=$(measure_cold "${throttled[@]}" "$verify" --quiet "$pa" "$pb")
serial=$(measure_cold "${throttled[@]}" "$verify" --quiet --no-concurrent-reads "$pa" "$pb")
report "(h) two devices, through the cache" "$ours" "$serial" "$pair_bytes" "in turn"
