#!/usr/bin/env bash
# Many small files: speed and memory of quorvel-verify against diff -rq, in
# one run, on trees of 1 to 4 KiB files (1,000 files a folder):
#   (a) 1,000,000 files, warm cache                        against diff -rq
#   (b) 1,000,000 files, cold cache (root only)            against diff -rq
#   (c)   100,000 files, cold cache (root only)            against diff -rq
#   (d)    10,000 files, warm cache                        against diff -rq
#   (m) peak memory of (a), in bytes per file
#   (x) peak memory of a delete run (--delete=source --yes) over the
#       DELETE_TREE tree (default 1m), in bytes per file
#   (w) peak memory of the window's run over (a), when bench/window-bench
#       is built (WINDOW=0 leaves it out)
# Each measured command runs RUNS times (default 3; the cold rows
# COLD_RUNS times, default RUNS), quorvel-verify and
# diff -rq alternately, so that a machine busy with other work slows both
# alike; the best time of each is shown, with the CPU time (user and
# system) of that run. A ratio below 1.0 means
# quorvel-verify was faster (its time / the reference's time).
# BASELINE=/path/to/another/quorvel-verify adds its figures (an earlier
# build, say) to every row.
# The trees are made once and kept under $QV_BENCH_DATA (default
# /var/tmp/quorvel-bench), outside the source tree; they take about 12 GiB
# of disk blocks for the 1,000,000-file pair.
#   bench/run-scale.sh            ONLY=a,d measures only the rows named
# DELETE_BASELINE=0 leaves the baseline out of the (long) delete row.
set -euo pipefail
cd "$(dirname "$0")/.."
data=${QV_BENCH_DATA:-/var/tmp/quorvel-bench}
runs=${RUNS:-3}
cold_runs=${COLD_RUNS:-$runs}
only=${ONLY:-a,b,c,d,m,x,w}
[ -x /usr/bin/time ] || { echo "bench needs GNU time: apt-get install time" >&2; exit 2; }
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvel-verify >/dev/null
verify=$(realpath "$build/cli/quorvel-verify")
baseline=${BASELINE:-}
timing=$(mktemp)
trap 'rm -f "$timing"' EXIT

wanted() { [[ ",$only," == *",$1,"* ]]; }

echo "Making data in $data (once) ..."
mkdir -p "$data"
python3 bench/make_scale.py "$data/scale-10k" 10000 10
python3 bench/make_scale.py "$data/scale-100k" 100000 100
python3 bench/make_scale.py "$data/scale-1m" 1000000 1000

cold_possible=0
if [ "$(id -u)" -eq 0 ] && [ -w /proc/sys/vm/drop_caches ]; then cold_possible=1; fi
drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }

# "seconds peak-KiB cpu-seconds" of one run; with cold, the page cache is
# dropped first
once() { # warm|cold command...
  local how=$1; shift
  [ "$how" = cold ] && drop_caches
  /usr/bin/time -f '%e %M %U %S' -o "$timing" "$@" >/dev/null 2>&1 || true
  tail -n 1 "$timing" | awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }'
}

# best "seconds peak-KiB" of each command over $runs rounds, the commands
# taking turns within a round; prints one line per command, in order
alternate() { # warm|cold "command 1" "command 2" ...
  local how=$1; shift
  local -a best=()
  local i
  if [ "$how" = warm ]; then # one untimed run each fills the cache
    for i in "$@"; do eval "$i" >/dev/null 2>&1 || true; done
  fi
  local rounds=$runs
  [ "$how" = cold ] && rounds=$cold_runs
  for _ in $(seq "$rounds"); do
    i=0
    for cmd in "$@"; do
      local out t
      out=$(eval "once $how $cmd")
      t=${out%% *}
      if [ -z "${best[$i]:-}" ] || awk "BEGIN{exit !($t < ${best[$i]%% *})}"; then best[$i]=$out; fi
      i=$((i + 1))
    done
  done
  printf '%s\n' "${best[@]}"
}

row() { # name warm|cold tree
  local name=$1 how=$2 tree=$3
  local -a cmds=("diff -rq '$tree/src' '$tree/dst'" "'$verify' --quiet '$tree/src' '$tree/dst'")
  [ -n "$baseline" ] && cmds+=("'$baseline' --quiet '$tree/src' '$tree/dst'")
  local -a res
  mapfile -t res < <(alternate "$how" "${cmds[@]}")
  awk -v n="$name" -v r="${res[0]}" -v q="${res[1]}" -v b="${res[2]:-}" 'BEGIN{
    split(r, R, " "); split(q, Q, " ");
    line = sprintf("%-30s quorvel-verify %7.2f s (cpu %6.2f s) | diff -rq %7.2f s (cpu %6.2f s) | ratio %.2fx", n, Q[1], Q[3], R[1], R[3], R[1] > 0 ? Q[1] / R[1] : 0);
    if (b != "") { split(b, B, " "); line = line sprintf(" | baseline %7.2f s (cpu %6.2f s) ratio %.2fx", B[1], B[3], R[1] > 0 ? B[1] / R[1] : 0) }
    print line }'
}

per_file() { # name files kib [baseline-kib]
  awk -v n="$1" -v f="$2" -v k="$3" -v b="${4:-}" 'BEGIN{
    line = sprintf("%-34s %8.1f MiB peak = %6.1f bytes per file", n, k / 1024, k * 1024 / f);
    if (b != "") line = line sprintf(" | baseline %8.1f MiB = %6.1f bytes per file", b / 1024, b * 1024 / f);
    print line }'
}

echo "quorvel-verify: $verify${baseline:+, baseline: $baseline}; best of $runs, $(nproc) cores"
wanted a && row "(a) 1,000,000 files, warm" warm "$data/scale-1m"
if [ "$cold_possible" = 1 ]; then
  wanted b && row "(b) 1,000,000 files, cold" cold "$data/scale-1m"
  wanted c && row "(c) 100,000 files, cold" cold "$data/scale-100k"
elif wanted b || wanted c; then
  echo "(b), (c) cold rows skipped: dropping the page cache needs root"
fi
wanted d && row "(d) 10,000 files, warm" warm "$data/scale-10k"

if wanted m; then
  read -r _ kib _ <<<"$(once warm "$verify" --quiet "$data/scale-1m/src" "$data/scale-1m/dst")"
  bkib=""
  [ -n "$baseline" ] && read -r _ bkib _ <<<"$(once warm "$baseline" --quiet "$data/scale-1m/src" "$data/scale-1m/dst")"
  per_file "(m) CLI, 1,000,000 files" 1000000 "$kib" "$bkib"
fi

# A delete run moves every Source file of a copy of the tree to a trash of
# its own (HOME and XDG_DATA_HOME point into the work folder). A real copy,
# not hard links: a file with other names is one the deletion keeps track
# of, which is not what a delete run over a copy costs.
delete_peak() { # binary tree
  local work="$data/delete-work"
  rm -rf "$work"
  mkdir -p "$work/home"
  cp -a "$2/src" "$work/src"
  HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" \
    /usr/bin/time -f '%e %M' -o "$timing" "$1" --quiet --delete=source --yes "$work/src" "$2/dst" >/dev/null 2>&1 || true
  local left
  left=$(find "$work/src" -type f 2>/dev/null | wc -l)
  [ "$left" -eq 0 ] || echo "error: $left Source files left after the delete run of $1" >&2
  rm -rf "$work"
  tail -n 1 "$timing" | cut -d' ' -f2
}
if wanted x; then
  tree=$data/scale-${DELETE_TREE:-1m}
  files=$(find "$tree/src" -type f | wc -l)
  kib=$(delete_peak "$verify" "$tree")
  bkib=""
  [ -n "$baseline" ] && [ "${DELETE_BASELINE:-1}" != 0 ] && bkib=$(delete_peak "$baseline" "$tree")
  per_file "(x) delete run, $files files" "$files" "$kib" "$bkib"
fi

# The window's figure: the same run through the main window, offscreen.
if wanted w && [ "${WINDOW:-1}" != 0 ]; then
  if cmake --build "$build" --target window-bench >/dev/null 2>&1 && [ -x "$build/bench/window-bench" ]; then
    QT_QPA_PLATFORM=offscreen /usr/bin/time -f '%e %M' -o "$timing" \
      "$build/bench/window-bench" "$data/scale-1m/src" "$data/scale-1m/dst" >/dev/null 2>&1 || true
    read -r secs kib <<<"$(tail -n 1 "$timing")"
    per_file "(w) window, 1,000,000 files (${secs} s)" 1000000 "$kib"
  else
    echo "(w) window row skipped: bench/window-bench does not build"
  fi
fi
